// Every image the application names is compiled in at its size, and each
// transport button's active image is clearly lit against its inactive one.
#include <QImage>
#include <QTest>

#include "app/resources.h"
#include "support/app_test_main.h"

using orvelan::app::kResourcePath;

namespace {

// Mean saturation x value of the glyph area in the middle of a button.
double glyphVividness(const QImage& image)
{
    double sum = 0;
    int count = 0;
    for (int y = 176; y < 336; y += 4) {
        for (int x = 176; x < 336; x += 4) {
            const QColor c = image.pixelColor(x, y).toHsv();
            sum += c.hsvSaturationF() * c.valueF();
            ++count;
        }
    }
    return sum / count;
}

}  // namespace

class ResourcesTest : public QObject {
    Q_OBJECT

private slots:
    void everyNamedImageLoadsAtItsSize_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QSize>("size");
        for (const char* button : {"stop", "pause", "play", "record"}) {
            for (const char* state : {"Inactive", "Active"}) {
                const QString name = QString("/%1%2.png").arg(button, state);
                QTest::newRow(qPrintable(name)) << name << QSize(512, 512);
            }
        }
        QTest::newRow("/loadFile.png") << "/loadFile.png" << QSize(128, 128);
        QTest::newRow("/saveFile.png") << "/saveFile.png" << QSize(128, 128);
        QTest::newRow("/vexolabs.png") << "/vexolabs.png" << QSize(400, 400);
    }

    void everyNamedImageLoadsAtItsSize()
    {
        QFETCH(QString, name);
        QFETCH(QSize, size);
        const QImage image(kResourcePath + name);
        QVERIFY2(!image.isNull(), qPrintable(kResourcePath + name));
        QCOMPARE(image.size(), size);
        QVERIFY(image.hasAlphaChannel());
        // Something is drawn, and the corners are left clear.
        QCOMPARE(image.pixelColor(0, 0).alpha(), 0);
        QVERIFY(image.pixelColor(size.width() / 2, size.height() / 2).alpha() > 0);
    }

    void activeButtonsAreLit_data()
    {
        QTest::addColumn<QString>("button");
        for (const char* button : {"stop", "pause", "play", "record"})
            QTest::newRow(button) << button;
    }

    void activeButtonsAreLit()
    {
        QFETCH(QString, button);
        const QImage inactive(kResourcePath + "/" + button + "Inactive.png");
        const QImage active(kResourcePath + "/" + button + "Active.png");
        const double lit = glyphVividness(active);
        const double unlit = glyphVividness(inactive);
        QVERIFY2(lit > unlit + 0.25, qPrintable(QString("active %1, inactive %2").arg(lit).arg(unlit)));
    }
};

ORVELAN_APP_TEST_MAIN(ResourcesTest)
#include "resources_test.moc"
