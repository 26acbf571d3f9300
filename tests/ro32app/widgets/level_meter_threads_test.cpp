// The meter against a real level detector fed by another thread, as the
// audio thread feeds it: the meter's own timer polls the detector through
// the detector's lock while blocks keep arriving, and what the meter shows
// is what the other thread played.
#include <QTest>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "blocks/max_value.h"
#include "support/app_test_main.h"
#include "widgets/level_meter.h"

using orvelan::app::CLevelMeter;

namespace {

constexpr int kChannels = 3;
constexpr int kFrames = 256;
constexpr float kRate = 48000.0f;
// Channel 0 plays a square wave of this amplitude, channel 2 one half as
// loud, channel 1 stays silent.
constexpr float kAmplitude = 0.5f;

// Plays blocks into the detector from a thread of its own until stopped,
// at about the pace a sound card would ask for them.
class Player {
public:
    explicit Player(CMaxValue& detector)
        : thread_([this, &detector] {
              std::vector<float> loud(kFrames), silent(kFrames, 0.0f), soft(kFrames);
              for (int i = 0; i < kFrames; ++i) {
                  loud[i] = (i / 24) % 2 ? kAmplitude : -kAmplitude;
                  soft[i] = loud[i] / 2;
              }
              float* in[kChannels] = {loud.data(), silent.data(), soft.data()};
              while (!stop_.load()) {
                  detector.process(in, nullptr, kFrames);
                  blocks_.fetch_add(1);
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          })
    {
    }
    ~Player() { stop(); }
    void stop()
    {
        stop_.store(true);
        if (thread_.joinable())
            thread_.join();
    }
    int blocks() const { return blocks_.load(); }

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> blocks_{0};
    std::thread thread_;
};

}  // namespace

class LevelMeterThreadsTest : public QObject {
    Q_OBJECT

private slots:
    void theMeterShowsWhatAnotherThreadPlays()
    {
        CMaxValue detector;
        QCOMPARE(detector.configure(vxAudioInterface::timeDomain(kChannels, kRate, kFrames),
                                    vxAudioInterface::timeDomain(0, kRate, kFrames)),
                 vxOK);
        CLevelMeter meter(kChannels);
        meter.resize(200, 200);
        meter.setSource(&detector);
        meter.show();
        QVERIFY(QTest::qWaitForWindowExposed(&meter));

        const float loudDb = 20 * std::log10(kAmplitude), softDb = 20 * std::log10(kAmplitude / 2);
        {
            Player player(detector);
            // The envelope's attack is a few milliseconds: within a few
            // polls the bars stand at the amplitude.
            QTRY_VERIFY_WITH_TIMEOUT(meter.barLevel(0) > 0.99f * kAmplitude && meter.barLevel(2) > 0.49f * kAmplitude,
                                     10000);
            QTRY_VERIFY_WITH_TIMEOUT(player.blocks() > 50, 10000);
            player.stop();
        }
        meter.stopTimer();
        QVERIFY(std::abs(meter.holdDb(0) - loudDb) < 0.01f);
        QVERIFY(std::abs(meter.holdDb(2) - softDb) < 0.01f);
        QCOMPARE(meter.holdText(1), QString("100.0"));
        QVERIFY(meter.barLevel(0) <= kAmplitude && meter.barLevel(2) <= kAmplitude / 2);
        QCOMPARE(meter.barLevel(1), 1e-5f);
    }
};

ORVELAN_APP_TEST_MAIN(LevelMeterThreadsTest)
#include "level_meter_threads_test.moc"
