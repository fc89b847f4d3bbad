#include "TestWindow.h"

#include <QGroupBox>
#include <QImage>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStyleOptionGroupBox>

// The window drawn larger than it was laid out for: CTest runs this once at a font DPI of 144
// and once at a scale factor of 2.
class TestScaling : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void listKeepsItsWholeFrame();
    void captionsFit();
};

void TestScaling::initTestCase()
{
    TestWindow window;
    QVERIFY2(window.form.devicePixelRatioF() > 1.2, "not run at a larger scale");
}

void TestScaling::listKeepsItsWholeFrame()
{
    TestWindow window;
    window.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window.form));
    const QImage shown = window.form.grab().toImage();
    const qreal ratio = shown.devicePixelRatio();
    const QRect list = window.get("List1")->geometry();
    const QRect device(qRound(list.x() * ratio), qRound(list.y() * ratio),
                       qRound(list.width() * ratio), qRound(list.height() * ratio));
    const int band = qCeil(2 * ratio);
    const QPoint middle = device.center();
    // The frame's colour is the darkest along the top edge.
    QRgb frame = qRgb(255, 255, 255);
    for (int y = device.top(); y < device.top() + band; ++y) {
        if (qGray(shown.pixel(middle.x(), y)) < qGray(frame))
            frame = shown.pixel(middle.x(), y);
    }
    auto bandHasFrame = [&](QPoint from, QPoint step) {
        for (int i = 0; i < band; ++i) {
            if (shown.pixel(from + i * step) == frame)
                return true;
        }
        return false;
    };
    QVERIFY2(bandHasFrame({middle.x(), device.bottom()}, {0, -1}), "bottom edge");
    QVERIFY2(bandHasFrame({device.left(), middle.y()}, {1, 0}), "left edge");
    QVERIFY2(bandHasFrame({device.right(), middle.y()}, {-1, 0}), "right edge");
}

void TestScaling::captionsFit()
{
    TestWindow window;
    window.form.show();
    for (const char *name : {"cmdBrowse", "cmdSplit", "cmdMerge"}) {
        auto *button = window.get<QPushButton>(name);
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect room
            = button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
        QVERIFY2(button->fontMetrics().horizontalAdvance(button->text()) <= room.width(), name);
    }
    for (const char *name : {"Frame1", "Frame2"}) {
        auto *frame = window.get<QGroupBox>(name);
        QVERIFY2(frame->fontMetrics().horizontalAdvance(frame->title()) + 8 <= frame->width(),
                 name);
    }
    auto *label = window.get<QLabel>("Label3");
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->width());
    QVERIFY(label->fontMetrics().height() <= label->height());
}

QTEST_MAIN(TestScaling)
#include "tst_scaling.moc"
