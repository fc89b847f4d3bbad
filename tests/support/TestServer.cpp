#include "TestServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

sockaddr_in loopback(int port)
{
    sockaddr_in address = {};
    address.sin_family = AF_INET;
    address.sin_port = htons(quint16(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A port no one listens on now; the kernel picks it.
int freePort()
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return 0;
    sockaddr_in address = loopback(0);
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(socket, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(socket, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(socket);
    return port;
}

bool listening(int port)
{
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (socket < 0)
        return false;
    const sockaddr_in address = loopback(port);
    const bool connected
        = ::connect(socket, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(socket);
    return connected;
}

} // namespace

TestServer::TestServer(const QString &workFolder) : m_folder(workFolder)
{
    m_log = m_folder + QStringLiteral("/access.log");
}

TestServer::~TestServer()
{
    stop();
}

bool TestServer::fail(const QString &why)
{
    m_whyNot = why;
    stop();
    return false;
}

void TestServer::stop()
{
    if (!m_process)
        return;
    // Only the process this object started, by its id.
    m_process->terminate();
    if (!m_process->waitForFinished(5000)) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

bool TestServer::startProcess(const QString &program, const QStringList &arguments)
{
    stop();
    QFile::remove(m_log);
    m_process = std::make_unique<QProcess>();
    m_process->setWorkingDirectory(m_folder);
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(program, arguments);
    if (!m_process->waitForStarted(5000))
        return fail(QStringLiteral("%1 cannot be started").arg(program));
    return true;
}

bool TestServer::waitUntilListening()
{
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 10000) {
        if (m_process->state() != QProcess::Running) {
            return fail(QStringLiteral("the server ended: %1")
                            .arg(QString::fromLocal8Bit(m_process->readAllStandardError())));
        }
        if (m_port > 0 && listening(m_port))
            return true;
        QThread::msleep(20);
    }
    return fail(QStringLiteral("the server did not listen within 10 s"));
}

bool TestServer::makeCertificate()
{
    QProcess openssl;
    openssl.setWorkingDirectory(m_folder);
    openssl.start(QStringLiteral("openssl"),
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", "key.pem",
                   "-out", "cert.pem"});
    return openssl.waitForFinished(60000) && openssl.exitStatus() == QProcess::NormalExit
           && openssl.exitCode() == 0;
}

bool TestServer::startNginx(const QString &root, bool tls, qint64 bytesPerSecond)
{
    if (tls && !makeCertificate())
        return fail(QStringLiteral("openssl could not make a certificate"));
    m_scheme = tls ? QStringLiteral("https") : QStringLiteral("http");
    m_port = freePort();
    const QString conf = m_folder + QStringLiteral("/nginx.conf");
    const QString temp = m_folder + QStringLiteral("/nginx-temp");
    QDir().mkpath(temp);
    QString text = QStringLiteral("daemon off;\n"
                                  // One process that runs as whoever started it, with everything in
                                  // this folder: no user to switch to, no system paths.
                                  "master_process off;\n"
                                  "worker_processes 1;\n"
                                  "pid %1/nginx.pid;\n"
                                  "error_log %1/error.log;\n"
                                  "events { worker_connections 64; }\n"
                                  "http {\n"
                                  "  log_format bytes '$uri $status $body_bytes_sent';\n"
                                  "  access_log %2 bytes;\n"
                                  "  client_body_temp_path %3/body;\n"
                                  "  proxy_temp_path %3/proxy;\n"
                                  "  fastcgi_temp_path %3/fastcgi;\n"
                                  "  uwsgi_temp_path %3/uwsgi;\n"
                                  "  scgi_temp_path %3/scgi;\n"
                                  "  default_type application/octet-stream;\n"
                                  "  sendfile on;\n"
                                  "  server {\n"
                                  "    listen 127.0.0.1:%4%5;\n"
                                  "    root %6;\n")
                       .arg(m_folder, m_log, temp)
                       .arg(m_port)
                       .arg(tls ? QStringLiteral(" ssl") : QString(), root);
    if (tls)
        text += QStringLiteral("    ssl_certificate %1/cert.pem;\n"
                               "    ssl_certificate_key %1/key.pem;\n")
                    .arg(m_folder);
    if (bytesPerSecond > 0)
        text += QStringLiteral("    limit_rate %1;\n").arg(bytesPerSecond);
    text += QStringLiteral("  }\n}\n");
    QFile file(conf);
    if (!file.open(QIODevice::WriteOnly) || file.write(text.toUtf8()) < 0)
        return fail(QStringLiteral("cannot write %1").arg(conf));
    file.close();
    return startProcess(QStringLiteral("nginx"),
                        {"-p", m_folder, "-c", conf, "-e", m_folder + "/error.log"})
           && waitUntilListening();
}

bool TestServer::startPythonHttp(const QString &root)
{
    m_scheme = QStringLiteral("http");
    m_port = freePort();
    return startProcess(QStringLiteral("python3"), {"-m", "http.server", "--bind", "127.0.0.1",
                                                    "--directory", root, QString::number(m_port)})
           && waitUntilListening();
}

bool TestServer::startMisbehaving(const QString &root, const QString &mode, qint64 after, int times)
{
    m_scheme = QStringLiteral("http");
    m_port = 0;
    if (!startProcess(QStringLiteral("python3"),
                      {QStringLiteral(SALTWICK_FETCH_SERVER), "--root", root, "--log", m_log,
                       "--mode", mode, "--after", QString::number(after), "--times",
                       QString::number(times)}))
        return false;
    // It picks its own port and says which.
    if (!m_process->waitForReadyRead(10000))
        return fail(QStringLiteral("fetch-server.py said no port"));
    const QRegularExpressionMatch port
        = QRegularExpression(QStringLiteral("PORT (\\d+)"))
              .match(QString::fromLatin1(m_process->readAllStandardOutput()));
    if (!port.hasMatch())
        return fail(QStringLiteral("fetch-server.py said no port"));
    m_port = port.captured(1).toInt();
    return waitUntilListening();
}

QString TestServer::url(const QString &name) const
{
    return QStringLiteral("%1://127.0.0.1:%2/%3").arg(m_scheme).arg(m_port).arg(name);
}

QList<qint64> TestServer::bytesSent() const
{
    QList<qint64> sent;
    QFile log(m_log);
    if (!log.open(QIODevice::ReadOnly))
        return sent;
    for (const QByteArray &line : log.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() >= 3)
            sent << fields.at(2).toLongLong();
    }
    return sent;
}

qint64 TestServer::totalBytesSent() const
{
    qint64 total = 0;
    for (const qint64 bytes : bytesSent())
        total += bytes;
    return total;
}
