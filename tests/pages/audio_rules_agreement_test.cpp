#include <random>

#include <QtTest>

#include "image/option_rules.h"
#include "page_rig.h"
#include "pages/audio_config_page.h"

using veltra::pages::CAudioCfgPage;
using veltra::pages::testing::PageRig;
namespace image = veltra::image;

// What the page does to a loaded header and what the core rules say it does must agree: the
// CLI normalises documents with the core rules and promises the page's result.
class AudioRulesAgreementTest : public QObject {
  Q_OBJECT

 private slots:
  void LoadThenStoreGivesWhatTheCoreRulesApply_data() {
    QTest::addColumn<int>("capability");
    for (const int capability : {0x00, 0x1F, 0x2F, 0x34, 0x3F})
      QTest::newRow(qPrintable(QStringLiteral("capability 0x%1").arg(capability, 2, 16)))
          << capability;
  }
  void LoadThenStoreGivesWhatTheCoreRulesApply() {
    QFETCH(int, capability);
    PageRig rig(veltra::sim::EepromPart::k24C64, static_cast<uint8_t>(capability));
    CAudioCfgPage page(rig.context);
    std::mt19937 random(static_cast<unsigned>(capability));
    for (int round = 0; round < 40; ++round) {
      std::array<uint8_t, image::kHeaderLength> header{0, 0, 0x52, 0x5A, 0x31, 0x77};
      for (size_t i = 6; i < header.size(); ++i)
        header[i] = static_cast<uint8_t>(random());
      QVERIFY(rig.Read(rig.Image(header, {})));
      if (page.HasContents()) {
        page.Load();
      } else {
        rig.Show(page);
      }
      QVERIFY(rig.Save(page));

      image::Configuration configuration;
      configuration.header.audio = image::GetAudioOptions(header);
      image::ChipTraits chip;
      chip.variant = rig.model.GetChipVariant();
      for (size_t i = 0; i < chip.capabilities.size(); ++i)
        chip.capabilities[i] = rig.model.GetCapability(static_cast<int>(i)) != 0;
      image::ApplyOptionRules(configuration, chip);
      const image::AudioOptions stored = image::GetAudioOptions(rig.Stored().header);
      QVERIFY2(
          stored == configuration.header.audio,
          qPrintable(
              QStringLiteral("round %1, bytes %2")
                  .arg(round)
                  .arg(QByteArray(reinterpret_cast<const char*>(header.data()), 11).toHex(' '))));
    }
  }
};

QTEST_MAIN(AudioRulesAgreementTest)
#include "audio_rules_agreement_test.moc"
