#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <mutex>
#include <thread>

#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "image/mcu_info.h"
#include "page_rig.h"
#include "pages/mcu_page.h"

using veltra::image::ImageContents;
using veltra::pages::CMCUPage;
using veltra::pages::testing::PageRig;

namespace {

constexpr int kMcuRow = 0;
using Header = std::array<uint8_t, 11>;
constexpr Header kHeader{0, 0, 0x52, 0x5A, 0x31, 0x77, 0x00, 0x04, 0x00, 0x00, 0x00};

const char* const kFileGroup[] = {"1257", "1016", "1018", "1131", "1132"};
const char* const kEepromGroup[] = {"1258", "1017", "1019", "1136", "1137"};

// Firmware of this length whose info block holds the given words' bytes in order.
std::vector<uint8_t> Firmware(size_t length, std::vector<uint8_t> block = {}) {
  std::vector<uint8_t> bytes(length);
  for (size_t i = 0; i < length; ++i)
    bytes[i] = static_cast<uint8_t>(i * 13 + 5);
  if (!block.empty() && length >= block.size())
    std::copy(block.begin(), block.end(), bytes.end() - static_cast<ptrdiff_t>(block.size()));
  return bytes;
}

// Chip ID 6530, VID 5A52, PID 7731, chip version 0102, FW version 0A0B, three unused bytes.
const std::vector<uint8_t> kInfoBlock{0x65, 0x30, 0x5A, 0x52, 0x77, 0x31, 0x01,
                                      0x02, 0x0A, 0x0B, 0xEE, 0xEE, 0xEE};

// The message of a refused file.
QString Refused(const char* reason) {
  return QString::fromLatin1(reason) + QStringLiteral("\n\n") +
         QString::fromLatin1(CMCUPage::kRefusedKeepsText);
}

struct McuRig : PageRig {
  explicit McuRig(veltra::sim::EepromPart part = veltra::sim::EepromPart::k24C64) : PageRig(part) {}

  CMCUPage page{context};
  QTemporaryDir dir;

  template <typename T>
  T* Control(const char* id) {
    return page.findChild<T*>(QString::fromLatin1(id));
  }
  QCheckBox* Check(const char* id) { return Control<QCheckBox>(id); }
  QPushButton* Button(const char* id) { return Control<QPushButton>(id); }
  QStringList Group(const char* const (&ids)[5]) {
    QStringList texts;
    for (const char* id : ids)
      texts << Control<QLineEdit>(id)->text();
    return texts;
  }
  QString File(const QString& name, const std::vector<uint8_t>& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) qFatal("cannot write test file");
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    return path;
  }
  // Checks Enable MCU if needed and chooses the file in the open dialog.
  void Choose(const QString& path) {
    if (!Check("1103")->isChecked()) Check("1103")->click();
    dialogs.AnswerFile(path);
    Button("1256")->click();
  }
  std::vector<uint8_t> StoredMcu() {
    const ImageContents image = Stored();
    const auto& section = image.sections[kMcuRow];
    return section ? section->data : std::vector<uint8_t>{0xDE, 0xAD};
  }
  bool StoredHasMcu() { return Stored().sections[kMcuRow].has_value(); }
  uint8_t StoredByte8() { return Stored().header[8]; }
};

const QStringList kNoInfo(5, QString());

}  // namespace

class McuPageTest : public QObject {
  Q_OBJECT

 private slots:
  void FileWordsAreBigEndianAndComeBackLittleEndian() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.Show(rig.page);
    QVERIFY(!rig.Check("1103")->isChecked());
    const std::vector<uint8_t> firmware = Firmware(700, kInfoBlock);
    rig.Choose(rig.File("fw.bin", firmware));
    QCOMPARE(rig.dialogs.Entries().back().text, QString::fromLatin1(CMCUPage::kFileFilter));
    QCOMPARE(rig.dialogs.LastDefaultSuffix(), QStringLiteral("bin"));
    QCOMPARE(rig.Group(kFileGroup), QStringList({"6530", "5A52", "7731", "0102", "0A0B"}));
    QCOMPARE(rig.Group(kEepromGroup), kNoInfo);
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredMcu(), firmware);

    // Refresh.
    QVERIFY(rig.Reread());
    rig.page.Load();
    QVERIFY(!rig.page.HasMcuFile());
    QVERIFY(rig.Check("1103")->isChecked());
    QVERIFY(rig.Button("1256")->isEnabled());
    QCOMPARE(rig.Group(kFileGroup), kNoInfo);
    QCOMPARE(rig.Group(kEepromGroup), QStringList({"3065", "525A", "3177", "0201", "0B0A"}));
  }

  void SaveWithoutAFileKeepsTheFirmwareRead() {
    McuRig rig;
    const std::vector<uint8_t> firmware = Firmware(300, kInfoBlock);
    QVERIFY(rig.Read(rig.Image(kHeader, {{kMcuRow, firmware}})));
    rig.Show(rig.page);
    QVERIFY(rig.Check("1103")->isChecked());
    rig.Check("1251")->click();
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredMcu(), firmware);
    QCOMPARE(rig.StoredByte8(), uint8_t{0x80});
  }

  void HeaderByte8KeepsTheBitsOfOtherPages_data() {
    QTest::addColumn<int>("byte8");
    QTest::addColumn<bool>("jumpLoaded");
    QTest::addColumn<bool>("lyncLoaded");
    QTest::addColumn<bool>("jump");
    QTest::addColumn<bool>("lync");
    QTest::addColumn<int>("stored");
    QTest::newRow("0x10 is not jump") << 0x10 << false << false << false << false << 0x00;
    QTest::newRow("all set, clear both") << 0xFF << true << true << false << false << 0x4F;
    QTest::newRow("others set, set both") << 0x4F << false << false << true << true << 0xFF;
    QTest::newRow("lync only") << 0xB0 << true << true << false << true << 0x80;
  }
  void HeaderByte8KeepsTheBitsOfOtherPages() {
    QFETCH(int, byte8);
    QFETCH(bool, jumpLoaded);
    QFETCH(bool, lyncLoaded);
    QFETCH(bool, jump);
    QFETCH(bool, lync);
    QFETCH(int, stored);
    McuRig rig;
    Header header = kHeader;
    header[8] = static_cast<uint8_t>(byte8);
    QVERIFY(rig.Read(rig.Image(header, {})));
    rig.Show(rig.page);
    QCOMPARE(rig.Check("1254")->isChecked(), jumpLoaded);
    QCOMPARE(rig.Check("1251")->isChecked(), lyncLoaded);
    rig.Check("1254")->setChecked(jump);
    rig.Check("1251")->setChecked(lync);
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(int{rig.StoredByte8()}, stored);
  }

  void UncheckingEnableMcuDropsTheSection() {
    McuRig rig;
    Header header = kHeader;
    header[8] = 0xB0;
    QVERIFY(rig.Read(rig.Image(header, {{kMcuRow, Firmware(64, kInfoBlock)}})));
    rig.Show(rig.page);
    rig.Check("1103")->click();
    QVERIFY(!rig.Button("1256")->isEnabled());
    QVERIFY(rig.Save(rig.page));
    QVERIFY(!rig.StoredHasMcu());
    QCOMPARE(rig.StoredByte8(), uint8_t{0xB0});
  }

  void ResetThenSaveDropsTheSection() {
    McuRig rig;
    Header header = kHeader;
    header[8] = 0xFF;
    QVERIFY(rig.Read(rig.Image(header, {{kMcuRow, Firmware(64, kInfoBlock)}})));
    rig.Show(rig.page);
    rig.Choose(rig.File("fw.bin", Firmware(80, kInfoBlock)));
    rig.dialogs.AnswerQuestion(true);
    rig.Button("1128")->click();
    QCOMPARE(rig.dialogs.Questions(), QStringList{QString::fromLatin1(CMCUPage::kResetQuestion)});
    QVERIFY(!rig.page.HasMcuFile());
    QVERIFY(!rig.Check("1103")->isChecked());
    QVERIFY(!rig.Button("1256")->isEnabled());
    QCOMPARE(rig.Group(kFileGroup), kNoInfo);
    QCOMPARE(rig.Group(kEepromGroup), kNoInfo);
    QVERIFY(rig.Save(rig.page));
    QVERIFY(!rig.StoredHasMcu());
    QCOMPARE(rig.StoredByte8(), uint8_t{0x4F});
  }

  void ShortFilesAndSectionsShowEmptyInfo() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {{kMcuRow, Firmware(12)}})));
    rig.Show(rig.page);
    QVERIFY(rig.Check("1103")->isChecked());
    QCOMPARE(rig.Group(kEepromGroup), kNoInfo);
    rig.Choose(rig.File("long.bin", Firmware(40, kInfoBlock)));
    QCOMPARE(rig.Group(kFileGroup).first(), QStringLiteral("6530"));
    rig.Choose(rig.File("short.bin", Firmware(12)));
    QVERIFY(rig.page.HasMcuFile());
    QCOMPARE(rig.Group(kFileGroup), kNoInfo);
    rig.Choose(rig.File("exact.bin", kInfoBlock));
    QCOMPARE(rig.Group(kFileGroup).first(), QStringLiteral("6530"));
  }

  void AZeroLengthFileStoresAnEmptySection() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {{kMcuRow, Firmware(64, kInfoBlock)}})));
    rig.Show(rig.page);
    rig.Choose(rig.File("empty.bin", {}));
    QVERIFY(rig.dialogs.Messages().isEmpty());
    QVERIFY(rig.page.HasMcuFile());
    QCOMPARE(rig.Group(kFileGroup), kNoInfo);
    QVERIFY(rig.Save(rig.page));
    const ImageContents stored = rig.Stored();
    QVERIFY(stored.sections[kMcuRow].has_value());
    QCOMPARE(stored.sections[kMcuRow]->place.length, 0u);
  }

  void FilesTooLargeAreRefusedAndClosed_data() {
    QTest::addColumn<int>("part");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("message");
    const QString eeprom = Refused(CMCUPage::kExceedsEepromText);
    const QString section = Refused(CMCUPage::kExceedsSectionText);
    const int c02 = static_cast<int>(veltra::sim::EepromPart::k24C02);
    const int c512 = static_cast<int>(veltra::sim::EepromPart::k24C512);
    QTest::newRow("before the first Connect") << c512 << false << 13 << eeprom;
    QTest::newRow("longer than the transfer length") << c02 << true << 256 << eeprom;
    QTest::newRow("the transfer length") << c02 << true << 255 << "";
    QTest::newRow("16384 bytes") << c512 << true << 16384 << section;
    QTest::newRow("16383 bytes") << c512 << true << 16383 << "";
  }
  void FilesTooLargeAreRefusedAndClosed() {
    QFETCH(int, part);
    QFETCH(bool, connected);
    QFETCH(int, length);
    QFETCH(QString, message);
    McuRig rig(static_cast<veltra::sim::EepromPart>(part));
    if (connected) QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.Show(rig.page);
    rig.Choose(rig.File("fw.bin", Firmware(static_cast<size_t>(length), kInfoBlock)));
    const bool refused = !message.isEmpty();
    QCOMPARE(rig.dialogs.Messages(), refused ? QStringList{message} : QStringList());
    QCOMPARE(rig.page.HasMcuFile(), !refused);
    // A refusal leaves Enable MCU as it was: checked, as the file was chosen.
    QVERIFY(rig.Check("1103")->isChecked());
    QVERIFY(rig.Button("1256")->isEnabled());
    QCOMPARE(rig.Group(kFileGroup).first(), refused ? QString() : QStringLiteral("6530"));
    if (!connected) return;
    // A refused file never reaches the image.
    rig.page.Store();
    const veltra::image::Section* mcu = rig.model.FindSection(0xB);
    QCOMPARE(mcu->Length(), refused ? 0u : static_cast<uint32_t>(length));
    QCOMPARE(mcu->data.size(), refused ? size_t{0} : static_cast<size_t>(length));
  }

  // Refusing a file must not drop the firmware that the EEPROM already holds.
  void ARefusedFileKeepsTheFirmwareInTheEeprom_data() {
    QTest::addColumn<int>("part");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("message");
    QTest::newRow("larger than the EEPROM") << static_cast<int>(veltra::sim::EepromPart::k24C64)
                                            << 8192 << Refused(CMCUPage::kExceedsEepromText);
    QTest::newRow("larger than the section") << static_cast<int>(veltra::sim::EepromPart::k24C512)
                                             << 16384 << Refused(CMCUPage::kExceedsSectionText);
  }
  void ARefusedFileKeepsTheFirmwareInTheEeprom() {
    QFETCH(int, part);
    QFETCH(int, length);
    QFETCH(QString, message);
    McuRig rig(static_cast<veltra::sim::EepromPart>(part));
    const std::vector<uint8_t> firmware = Firmware(64, kInfoBlock);
    QVERIFY(rig.Read(rig.Image(kHeader, {{kMcuRow, firmware}})));
    rig.Show(rig.page);
    QVERIFY(rig.Check("1103")->isChecked());
    rig.Choose(rig.File("big.bin", Firmware(static_cast<size_t>(length), kInfoBlock)));
    QCOMPARE(rig.dialogs.Messages(), QStringList{message});
    QVERIFY(rig.Check("1103")->isChecked());
    QVERIFY(rig.Button("1256")->isEnabled());
    QCOMPARE(rig.Group(kEepromGroup).first(), QStringLiteral("3065"));
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredMcu(), firmware);
  }

  // A refusal keeps the file chosen before: the file group goes on showing what Save stores.
  void ARefusedFileKeepsTheFileChosenBefore() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.Show(rig.page);
    const std::vector<uint8_t> firmware = Firmware(40, kInfoBlock);
    rig.Choose(rig.File("fw.bin", firmware));
    rig.Choose(rig.File("big.bin", Firmware(8192)));
    QCOMPARE(rig.dialogs.Messages(), QStringList{Refused(CMCUPage::kExceedsEepromText)});
    QVERIFY(rig.page.HasMcuFile());
    QCOMPARE(rig.Group(kFileGroup).first(), QStringLiteral("6530"));
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredMcu(), firmware);
  }

  void OpenFailureAndCancelCloseTheEarlierFile() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.Show(rig.page);
    rig.Choose(rig.File("fw.bin", Firmware(40, kInfoBlock)));
    QVERIFY(rig.page.HasMcuFile());
    rig.Choose(rig.dir.filePath(QStringLiteral("missing.bin")));
    QCOMPARE(rig.dialogs.Messages(), QStringList{QString::fromLatin1(CMCUPage::kOpenFailedText)});
    QVERIFY(!rig.page.HasMcuFile());
    QCOMPARE(rig.Group(kFileGroup).first(), QStringLiteral("6530"));  // unchanged

    rig.Choose(rig.File("fw.bin", Firmware(40, kInfoBlock)));
    rig.dialogs.AnswerFile(std::nullopt);
    rig.Button("1256")->click();
    QVERIFY(!rig.page.HasMcuFile());
    QCOMPARE(rig.Group(kFileGroup).first(), QStringLiteral("6530"));
    QVERIFY(rig.Check("1103")->isChecked());
  }

  void ANamedPipeIsRefusedWithoutWaitingForAWriter() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.Show(rig.page);
    const QString pipe = rig.dir.filePath(QStringLiteral("fw.bin"));
    const QByteArray pipeName = QFile::encodeName(pipe);
    QCOMPARE(mkfifo(pipeName.constData(), 0600), 0);
    // A watchdog: should the page wait for a writer, the GUI would hang; open the other end
    // after a while so that the test ends, and remember that it had to.
    std::mutex mutex;
    std::condition_variable done;
    bool chosen = false;
    std::atomic<bool> hadToWrite{false};
    std::thread watchdog([&] {
      std::unique_lock lock(mutex);
      if (done.wait_for(lock, std::chrono::seconds(5), [&] { return chosen; })) return;
      hadToWrite = true;
      const int fd = open(pipeName.constData(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
    });
    rig.Choose(pipe);
    {
      std::lock_guard lock(mutex);
      chosen = true;
    }
    done.notify_one();
    watchdog.join();
    QVERIFY(!hadToWrite);
    QCOMPARE(rig.dialogs.Messages(), QStringList{QString::fromLatin1(CMCUPage::kOpenFailedText)});
    QVERIFY(!rig.page.HasMcuFile());
  }

  void TheFileIsReadAgainAtEverySave() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.Show(rig.page);
    const std::vector<uint8_t> firmware = Firmware(90, kInfoBlock);
    rig.Choose(rig.File("fw.bin", firmware));
    QVERIFY(rig.Save(rig.page));
    rig.model.FindSection(0xB)->data[0] ^= 0xFF;
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredMcu(), firmware);
  }

  // Editors and build tools save by writing a new file and renaming it over the old one: the
  // page's open handle still reads the old firmware. Same length and time stamp on purpose.
  void AFileReplacedByRenameStopsTheSave() {
    McuRig rig;
    const std::vector<uint8_t> old = Firmware(64, kInfoBlock);
    QVERIFY(rig.Read(rig.Image(kHeader, {{kMcuRow, old}})));
    rig.Show(rig.page);
    const QString path = rig.File("fw.bin", Firmware(90, kInfoBlock));
    rig.Choose(path);
    struct stat chosen {};
    QCOMPARE(stat(QFile::encodeName(path).constData(), &chosen), 0);
    std::vector<uint8_t> rebuilt = Firmware(90, kInfoBlock);
    rebuilt[0] = 0x42;
    const QString fresh = rig.File("fw.bin.new", rebuilt);
    const timespec times[2] = {chosen.st_atim, chosen.st_mtim};
    QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(fresh).constData(), times, 0), 0);
    QCOMPARE(rename(QFile::encodeName(fresh).constData(), QFile::encodeName(path).constData()), 0);
    QVERIFY(!rig.page.Store());
    QCOMPARE(rig.dialogs.Messages(), QStringList{QString::fromLatin1(CMCUPage::kFileChangedText)});
    QCOMPARE(rig.model.FindSection(0xB)->data, old);
    // Reading the file again takes the new firmware.
    rig.dialogs.Clear();
    rig.Choose(path);
    QVERIFY(rig.Save(rig.page));
    QCOMPARE(rig.StoredMcu(), rebuilt);
  }

  // Rewritten in place with the same length: the bytes are no longer what the file group shows.
  void AFileRewrittenInPlaceStopsTheSave() {
    McuRig rig;
    QVERIFY(rig.Read(rig.Image(kHeader, {})));
    rig.Show(rig.page);
    const QString path = rig.File("fw.bin", Firmware(90, kInfoBlock));
    rig.Choose(path);
    std::vector<uint8_t> changed = Firmware(90, kInfoBlock);
    changed[0] = 0x42;
    rig.File("fw.bin", changed);
    const timespec later[2] = {{0, UTIME_OMIT}, {std::time(nullptr) + 60, 0}};
    QCOMPARE(utimensat(AT_FDCWD, QFile::encodeName(path).constData(), later, 0), 0);
    QVERIFY(!rig.page.Store());
    QCOMPARE(rig.dialogs.Messages(), QStringList{QString::fromLatin1(CMCUPage::kFileChangedText)});
    QCOMPARE(rig.model.FindSection(0xB)->Length(), 0u);
  }

  void AFileOfAnotherLengthAbandonsTheSave_data() {
    QTest::addColumn<int>("newLength");
    QTest::newRow("cut") << 50;
    QTest::newRow("padded") << 120;
    QTest::newRow("emptied") << 0;
  }
  void AFileOfAnotherLengthAbandonsTheSave() {
    QFETCH(int, newLength);
    McuRig rig;
    const std::vector<uint8_t> old = Firmware(64, kInfoBlock);
    QVERIFY(rig.Read(rig.Image(kHeader, {{kMcuRow, old}})));
    rig.Show(rig.page);
    rig.Choose(rig.File("fw.bin", Firmware(90, kInfoBlock)));
    rig.Check("1254")->click();
    rig.File("fw.bin", Firmware(static_cast<size_t>(newLength), kInfoBlock));
    rig.system.ClearRequestLog();
    QVERIFY(!rig.page.Store());
    QCOMPARE(rig.dialogs.Messages(), QStringList{QString::fromLatin1(CMCUPage::kFileChangedText)});
    // Nothing in the model moved.
    const veltra::image::Section* mcu = rig.model.FindSection(0xB);
    QCOMPARE(mcu->data, old);
    QCOMPARE(mcu->Length(), 64u);
    QCOMPARE(rig.model.FindSection(0xC)->data[8], uint8_t{0x00});
  }
};

QTEST_MAIN(McuPageTest)
#include "mcu_page_test.moc"
