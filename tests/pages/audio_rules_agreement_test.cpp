#include <random>

#include <QtTest>

#include "app/app_harness.h"
#include "image/configuration.h"
#include "image/option_rules.h"
#include "image/random_packed_image.h"
#include "page_rig.h"
#include "pages/audio_config_page.h"

using veltra::pages::CAudioCfgPage;
using veltra::pages::testing::PageRig;
namespace image = veltra::image;

// What the pages do to a loaded image and what the core rules say they do must agree: the CLI
// normalises documents with the core rules and promises the pages' result.
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

  // What import --strict takes (a configuration the rules leave as it is, which the check
  // passes) comes back byte for byte, Header and sections, from a Save in the window with all
  // five pages: random images as import --normalize would settle them, on chips of each variant
  // (variant 2's, whose USB page starts with HID off).
  void StrictConfigurationsComeBackUnchangedFromASave_data() {
    QTest::addColumn<int>("capability");
    for (const int capability : {0x04, 0x14, 0x24, 0x30, 0x34})
      QTest::newRow(qPrintable(QStringLiteral("capability 0x%1").arg(capability, 2, 16)))
          << capability;
  }
  void StrictConfigurationsComeBackUnchangedFromASave() {
    QFETCH(int, capability);
    veltra::app::testing::HarnessOptions options;
    options.device.capability = static_cast<uint8_t>(capability);
    veltra::app::testing::AppHarness app(options);
    QVERIFY(app.Connect());
    const image::ChipTraits chip = app.Window().Model().Chip();
    constexpr uint32_t kTransfer = 8191;
    image::testing::RandomPackedImage random(static_cast<uint32_t>(capability));
    int tried = 0;
    for (int round = 0; round < 60 && tried < 12; ++round) {
      std::optional<image::Configuration> c =
          image::DecodeConfiguration(image::ReadImage(random.Make(kTransfer), kTransfer));
      if (!c || !image::SettleOptionRules(*c, chip).settled || image::CheckConfiguration(*c))
        continue;
      const image::PackedConfiguration packed = image::PackConfiguration(*c, kTransfer);
      if (!packed.fits) continue;
      ++tried;
      {
        auto lock = app.Simulated().System().Lock();
        std::vector<uint8_t>& eeprom = app.Simulated().Device().Eeprom().Contents();
        std::fill(eeprom.begin(), eeprom.end(), uint8_t{0xFF});
        std::copy(packed.image.begin(), packed.image.end(), eeprom.begin());
      }
      for (int i = 0; i < 4; ++i)
        app.Dialogs().AnswerQuestion(true);
      QVERIFY(app.ClickAndWait("5"));  // Refresh
      QVERIFY(app.ClickAndWait("3"));  // Save
      app.Dialogs().Clear();
      const image::ImageContents before = image::ReadImage(packed.image, kTransfer);
      const image::ImageContents after = image::ReadImage(app.EepromBytes(), kTransfer);
      const QString where = QStringLiteral("round %1: ").arg(round);
      QVERIFY2(after.header == before.header, qPrintable(where + QStringLiteral("header")));
      for (size_t row = 0; row < before.sections.size(); ++row) {
        const auto& was = before.sections[row];
        const auto& is = after.sections[row];
        QVERIFY2(was.has_value() == is.has_value() && (!was || was->data == is->data),
                 qPrintable(where + QString::fromUtf8(image::kSectionFields[row].data(),
                                                      static_cast<qsizetype>(
                                                          image::kSectionFields[row].size()))));
      }
    }
    QVERIFY(tried > 0);
  }
};

QTEST_MAIN(AudioRulesAgreementTest)
#include "audio_rules_agreement_test.moc"
