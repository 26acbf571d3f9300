// The about window: the logo from the compiled-in images at 150 pixels
// wide, the bold product name, "version 1.5.1" and one OK button that
// closes it, all shown when the window runs modally.
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include "app/about_window.h"
#include "app/resources.h"
#include "support/app_test_main.h"
#include "support/modal_answerer.h"
#include "support/pixel_probe.h"

using namespace orvelan::app;
using orvelan::apptest::ModalAnswerer;

namespace {

QLabel* labelWithPixmap(QDialog& dialog)
{
    for (QLabel* label : dialog.findChildren<QLabel*>())
        if (!label->pixmap().isNull())
            return label;
    return nullptr;
}

// Pixels on a 5-pixel grid of the opaque part of expected that are not
// near what actual holds at origin + their position.
int differingPixels(const QImage& actual, QPoint origin, const QImage& expected)
{
    int differing = 0;
    for (int y = 0; y < expected.height(); y += 5)
        for (int x = 0; x < expected.width(); x += 5)
            if (qAlpha(expected.pixel(x, y)) == 255 &&
                !orvelan::apptest::colourNear(actual.pixelColor(origin + QPoint(x, y)), expected.pixelColor(x, y), 8))
                ++differing;
    return differing;
}

}  // namespace

class AboutWindowTest : public QObject {
    Q_OBJECT

private slots:
    void versionIsOneFiveOne() { QCOMPARE(versionString(), QStringLiteral("1.5.1")); }

    void showsTheLogoNameVersionAndOk()
    {
        QWidget window;
        std::unique_ptr<QDialog> about = makeAboutWindow(&window);
        QCOMPARE(about->parentWidget(), &window);
        QCOMPARE(about->windowTitle(), QStringLiteral("About Orvelan"));
        QVERIFY(about->isModal());
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about.get()));

        QStringList texts;
        QLabel* name = nullptr;
        for (QLabel* label : about->findChildren<QLabel*>()) {
            if (label->text().isEmpty())
                continue;
            texts << label->text();
            if (label->text() == "<b>Orvelan</b>")
                name = label;
        }
        QCOMPARE(texts, (QStringList{"<b>Orvelan</b>", "version 1.5.1"}));
        QVERIFY(name);
        QCOMPARE(name->textFormat(), Qt::RichText);
        QCOMPARE(name->font().pointSize(), 15);
        const QList<QPushButton*> buttons = about->findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons[0]->text(), QStringLiteral("OK"));

        // The logo is the compiled-in image, 150 pixels wide, and it is what
        // the dialog paints where its label stands.
        QLabel* logo = labelWithPixmap(*about);
        QVERIFY(logo);
        const QImage source(kResourcePath + "/vexolabs.png");
        QVERIFY(!source.isNull());
        const QImage expected = source.scaledToWidth(150, Qt::FastTransformation).convertToFormat(QImage::Format_ARGB32);
        const QImage shown = logo->pixmap().toImage();
        QCOMPARE(shown.size(), expected.size());
        QCOMPARE(shown.width(), 150);
        QCOMPARE(differingPixels(shown, {}, expected), 0);
        const QImage painted = orvelan::apptest::grabImage(about.get());
        const QPoint origin =
            logo->mapTo(about.get(), QPoint((logo->width() - 150) / 2, (logo->height() - expected.height()) / 2));
        QCOMPARE(differingPixels(painted, origin, expected), 0);

        buttons[0]->click();
        QVERIFY(!about->isVisible());
    }

    void runsModallyUntilOk()
    {
        QWidget window;
        ModalAnswerer answerer;
        answerer.press("OK");
        showAboutWindow(&window);
        QCOMPARE(answerer.seen().size(), 1);
        const ModalAnswerer::Seen& seen = answerer.seen()[0];
        QCOMPARE(seen.title, QStringLiteral("About Orvelan"));
        QCOMPARE(seen.labels, (QStringList{"<b>Orvelan</b>", "version 1.5.1"}));
        QCOMPARE(seen.buttons, QStringList{"OK"});
        QVERIFY(answerer.failures().isEmpty());
    }
};

ORVELAN_APP_TEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
