#pragma once

#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <memory>

// A web server for one test or benchmark, started on 127.0.0.1 at a free port in a folder of
// the caller's, and stopped when it goes: nginx (which honours Range and sends an ETag),
// Python's http.server (which ignores Range and answers 200) or the fetch tests' own server,
// which gets things wrong on purpose. Never a system service.
class TestServer
{
public:
    explicit TestServer(const QString &workFolder);
    ~TestServer();
    TestServer(const TestServer &) = delete;
    TestServer &operator=(const TestServer &) = delete;

    // nginx serving `root`; over TLS with a certificate made for 127.0.0.1 (see
    // certificate()); each answer sent at most `bytesPerSecond` when that is above 0.
    bool startNginx(const QString &root, bool tls = false, qint64 bytesPerSecond = 0);
    bool startPythonHttp(const QString &root);
    // tests/support/fetch-server.py in `mode`, with its --after and --times.
    bool startMisbehaving(const QString &root, const QString &mode, qint64 after = 0,
                          int times = 1);
    void stop();

    QString url(const QString &name) const;
    QString whyNot() const { return m_whyNot; }
    QString certificate() const { return m_folder + QStringLiteral("/cert.pem"); }
    // The body bytes of each answer so far, as the server logged them.
    QList<qint64> bytesSent() const;
    qint64 totalBytesSent() const;

private:
    bool startProcess(const QString &program, const QStringList &arguments);
    bool waitUntilListening();
    bool makeCertificate();
    bool fail(const QString &why);

    QString m_folder;
    QString m_scheme = QStringLiteral("http");
    QString m_log;
    int m_port = 0;
    std::unique_ptr<QProcess> m_process;
    QString m_whyNot;
};
