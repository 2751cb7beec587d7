#include "soak.h"

#include <algorithm>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "device/eeprom_types.h"
#include "image/eeprom_config.h"
#include "image/factory_image.h"
#include "image/image_layout.h"
#include "image/operation_texts.h"
#include "pages/usb_config_page.h"
#include "platform/sim/sim_system.h"

namespace veltra::app::testing {

namespace {

namespace text = image::text;

constexpr int kRealTimeoutMs = 20'000;

QStringList Only(const char* message) {
  return QStringList{QString::fromLatin1(message)};
}

// "" when the model holds exactly what a read of the whole image finds.
std::string ModelProblem(const image::EepromConfig& model, std::span<const uint8_t> image,
                         uint32_t transferLength) {
  const image::ImageContents contents = image::ReadImage(image, transferLength);
  if (model.IsEmpty() == contents.hasMagic) return "the model's empty flag is wrong";
  if (!contents.hasMagic) return {};
  for (size_t row = 0; row < image::kDirectorySlotCount; ++row) {
    const image::SectionKind& kind = image::kSectionKinds[row];
    const image::Section* section = model.FindSection(kind.type);
    if (section == nullptr) return std::string("no section ") + std::string(kind.name);
    const auto& stored = contents.sections[row];
    if (!stored) {
      if (section->IsPresent()) return std::string(kind.name) + " present but not in the image";
      continue;
    }
    if (section->entry != stored->entry) return std::string(kind.name) + ": another entry";
    const std::vector<uint8_t>& data = section->data;
    if (data.size() < stored->data.size() ||
        !std::equal(stored->data.begin(), stored->data.end(), data.begin()) ||
        !std::all_of(data.begin() + static_cast<std::ptrdiff_t>(stored->data.size()), data.end(),
                     [](uint8_t b) { return b == 0; }))
      return std::string(kind.name) + ": other bytes than the image's";
  }
  const image::Section* header = model.FindSection(image::section_type::kHeader);
  if (header == nullptr || header->data.size() < image::kHeaderLength ||
      !std::equal(contents.header.begin(), contents.header.end(), header->data.begin()))
    return "the Header is not the image's";
  const std::optional<image::TailRecord>* expected[] = {&contents.tailRecords.first,
                                                        &contents.tailRecords.second};
  const int rows[] = {image::section_index::kPlaybackEq, image::section_index::kRecordEq};
  for (size_t i = 0; i < 2; ++i) {
    image::TailRecord record{};
    const bool found = model.GetTailRecord(record.data(), 22, rows[i]) != 0;
    if (found != expected[i]->has_value() || (found && record != **expected[i]))
      return "tail record " + std::to_string(i + 1) + " is not the image's";
  }
  return {};
}

}  // namespace

const char* Soak::Name(Kind kind) {
  switch (kind) {
    case Kind::kConnect:
      return "connect";
    case Kind::kSave:
      return "save";
    case Kind::kRefresh:
      return "refresh";
    case Kind::kDump:
      return "dump";
    case Kind::kLoad:
      return "load";
    case Kind::kErase:
      return "erase";
    case Kind::kUnplug:
      return "unplug";
    case Kind::kReplug:
      return "replug";
  }
  return "?";
}

Soak::Soak(const SoakOptions& options) : options_(options), random_(options.seed) {
  HarnessOptions harness;
  harness.device.eeprom = device::EepromTypeBySize(sim::PartInfo(options.part).size);
  app_ = std::make_unique<AppHarness>(harness);
  app_->Simulated().System().Clock().SetFollowRealTime(false);
  transferLength_ = sim::PartInfo(options.part).size - 1;
  const std::vector<uint8_t> bytes = app_->EepromBytes();
  expected_.assign(bytes.begin(), bytes.begin() + transferLength_);
  lastByte_ = bytes[transferLength_];

  // Files to load: the factory image, a short file of zeros, and later the dumps.
  const QString factory = app_->TempPath(QStringLiteral("factory.bin"));
  const QString zeros = app_->TempPath(QStringLiteral("zeros.bin"));
  files_[factory] = Bytes(expected_);
  files_[zeros] = QByteArray(100, '\0');
  for (const auto& [path, content] : files_)
    if (!WriteFile(path, content)) problem_ = "cannot write " + path.toStdString();
}

Soak::~Soak() = default;

uint64_t Soak::Uniform(uint64_t from, uint64_t to) {
  return std::uniform_int_distribution<uint64_t>(from, to)(random_);
}

QString Soak::RandomText(int minLength, int maxLength) {
  static const char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789 ";
  const auto length =
      static_cast<int>(Uniform(static_cast<uint64_t>(minLength), static_cast<uint64_t>(maxLength)));
  QString text;
  for (int i = 0; i < length; ++i)
    text += QLatin1Char(kLetters[Uniform(0, sizeof kLetters - 2)]);
  text = text.trimmed();
  if (text.size() < minLength) text = QString(minLength, QLatin1Char('X'));
  return text;
}

bool Soak::Run(uint64_t operations) {
  if (!problem_.empty()) return false;
  for (uint64_t i = 0; i < operations; ++i) {
    if (!Step()) return false;
  }
  return true;
}

Soak::Kind Soak::Choose() {
  const bool plugged = app_->Backend().IsPlugged();
  const bool connected = app_->Window().IsConnected();
  std::vector<std::pair<Kind, int>> weights;
  if (!plugged) {
    weights = {{Kind::kReplug, 3}, {Kind::kConnect, 1}};
  } else if (!connected) {
    weights = {{Kind::kConnect, 6}, {Kind::kUnplug, 1}};
  } else {
    weights = {{Kind::kSave, 5}, {Kind::kRefresh, 2}, {Kind::kDump, 2},
               {Kind::kLoad, 2}, {Kind::kErase, 1},   {Kind::kUnplug, 1}};
  }
  int total = 0;
  for (const auto& [kind, weight] : weights)
    total += weight;
  auto draw = static_cast<int>(Uniform(0, static_cast<uint64_t>(total - 1)));
  for (const auto& [kind, weight] : weights) {
    if (draw < weight) return kind;
    draw -= weight;
  }
  return weights.back().first;
}

void Soak::InjectFault(Kind kind) {
  faulted_ = false;
  faultText_.clear();
  if (kind == Kind::kUnplug || kind == Kind::kReplug) return;
  if (std::uniform_real_distribution<double>(0, 1)(random_) >= options_.faultChance) return;
  // Anywhere in the operation, and now and then just past its end.
  const uint64_t span = requests_.count(kind) != 0 ? requests_[kind] : 300;
  const uint64_t n = Uniform(1, span + span / 10 + 1);
  sim::SimSystem& system = app_->Simulated().System();
  const uint64_t at = system.RequestCount() + n;
  sim::Faults faults;
  static const char* const kFaults[] = {"fail", "nack", "busy", "unplug"};
  const uint64_t which = Uniform(0, 3);
  switch (which) {
    case 0:
      faults.failRequest = at;
      break;
    case 1:
      faults.nackFrom = at;
      break;
    case 2:
      faults.busyFrom = at;
      break;
    default:
      faults.unplugAfter = at;
      break;
  }
  app_->SetFaults(faults);
  faulted_ = true;
  faultText_ = std::string(kFaults[which]) + " at request " + std::to_string(n);
  ++figures_.withFault;
}

bool Soak::Click(const char* id) {
  QPushButton* button = app_->Button(id);
  if (button == nullptr || !button->isEnabled()) return false;
  button->click();
  const bool ended = WaitReleased(app_->Window(), kRealTimeoutMs);
  Settle();
  return ended;
}

bool Soak::Step() {
  const Kind kind = Choose();
  ++figures_.operations;
  ++figures_.byKind[Name(kind)];
  app_->Dialogs().Clear();
  Settle();
  // Edits come before the fault is armed: they send nothing.
  if (kind == Kind::kSave) EditPages();
  InjectFault(kind);
  sim::SimSystem& system = app_->Simulated().System();
  const uint64_t before = system.RequestCount();
  const int64_t start = system.Clock().NowNs();

  std::string problem;
  switch (kind) {
    case Kind::kConnect:
    case Kind::kRefresh:
      problem = Connect(kind);
      break;
    case Kind::kSave:
      problem = Save();
      break;
    case Kind::kDump:
      problem = Dump();
      break;
    case Kind::kLoad:
      problem = Load();
      break;
    case Kind::kErase:
      problem = Erase();
      break;
    case Kind::kUnplug:
      app_->Backend().Unplug();
      Settle();
      if (app_->Window().IsConnected()) problem = "still connected after the unplug";
      break;
    case Kind::kReplug:
      app_->Backend().Plug();
      Settle();
      break;
  }
  app_->SetFaults({});
  if (!faulted_ && kind != Kind::kUnplug && kind != Kind::kReplug)
    requests_[kind] = system.RequestCount() - before;
  figures_.virtualNs += system.Clock().NowNs() - start;
  if (problem.empty()) problem = CheckAfter();
  if (problem.empty()) return true;
  problem_ = "seed " + std::to_string(options_.seed) + ", operation " +
             std::to_string(figures_.operations) + " (" + Name(kind) +
             (faulted_ ? ", " + faultText_ : std::string()) + "): " + problem + "; messages " +
             DescribeMessages(app_->Dialogs().Messages()).toStdString();
  return false;
}

void Soak::EditPages() {
  pages::CUsbCfgPage& page = app_->Window().UsbPage();
  auto edit = [&](const char* id) { return page.findChild<QLineEdit*>(QString::fromLatin1(id)); };
  if (QLineEdit* product = edit("1019"); product != nullptr && Uniform(0, 3) != 0)
    product->setText(RandomText(2, 24));
  if (QLineEdit* manufacturer = edit("1017"); manufacturer != nullptr && Uniform(0, 2) == 0)
    manufacturer->setText(RandomText(0, 20));
  if (QLineEdit* serial = edit("1020"); serial != nullptr && Uniform(0, 2) == 0)
    serial->setText(RandomText(0, 16));
  if (auto* wakeup = page.findChild<QCheckBox*>(QStringLiteral("1267")); wakeup && Uniform(0, 1))
    wakeup->setChecked(!wakeup->isChecked());
  if (auto* range = page.findChild<QComboBox*>(QStringLiteral("1135")); range && Uniform(0, 1))
    range->setCurrentIndex(static_cast<int>(Uniform(0, 4)));
}

std::string Soak::Connect(Kind kind) {
  CDemoDlg& window = app_->Window();
  if (kind == Kind::kRefresh) {
    app_->Dialogs().AnswerQuestion(true);
    if (!Click("5")) return "the refresh did not end";
  } else {
    app_->ChooseType(QStringLiteral("S") + QString::fromLatin1(sim::PartInfo(options_.part).name));
    app_->TypeIds(QStringLiteral("5A52"), QStringLiteral("7731"));
    if (!Click("1017")) return "the connect did not end";
  }
  const QStringList messages = app_->Dialogs().Messages();
  const bool plugged = app_->Backend().IsPlugged();
  const image::ImageContents contents = image::ReadImage(expected_, transferLength_);
  const bool fits = !contents.hasMagic || (uint64_t{transferLength_} >= contents.total + 60ull &&
                                           contents.dataEnd <= uint64_t{transferLength_} + 1);
  const QStringList wanted =
      contents.hasMagic ? QStringList() : Only(image::kEepromEmptyText.data());
  if (window.IsConnected()) {
    if (messages != wanted) return "connected, with other messages than expected";
    ++figures_.succeeded;
    return ShowsExpected();
  }
  if (messages == Only(text::kCannotFindDevice) || messages == Only(text::kReadFailed)) {
    if (!faulted_ && plugged) return "a failure without a fault";
    if (faulted_) ++figures_.reported;
    return {};
  }
  if (!fits && messages == Only(text::kSizeTooSmall)) return {};
  // Read whole, then the device went away: the window let it go without a word.
  if (messages == wanted && faulted_ && !plugged) return ShowsExpected();
  return "not connected, and not for a reason it gave";
}

std::string Soak::ShowsExpected() {
  if (std::string problem = ModelProblem(app_->Window().Model(), expected_, transferLength_);
      !problem.empty())
    return "shows other than the EEPROM holds: " + problem;
  if (savedProduct_) {
    auto* product = app_->Window().UsbPage().findChild<QLineEdit*>(QStringLiteral("1019"));
    if (product == nullptr || product->text() != *savedProduct_)
      return "the product string saved last does not come back";
  }
  return {};
}

std::string Soak::JudgeWrite(bool succeeded, bool failed, const std::vector<uint8_t>& intended) {
  const std::vector<uint8_t> now = app_->EepromBytes();
  if (succeeded) {
    if (!std::equal(intended.begin(), intended.end(), now.begin()))
      return "reported success, but the EEPROM does not hold what was written";
    expected_ = intended;
    ++figures_.succeeded;
    return {};
  }
  if (!failed) return "neither success nor the failure was reported";
  if (!faulted_) return "a failure without a fault";
  ++figures_.reported;
  const WriteCut cut =
      AnalyseWrite(expected_, intended, now, transferLength_, TransportPage(transferLength_ + 1));
  ++figures_.cutsChecked;
  if (!cut.valid) return "a failed write left bytes of neither image beyond one chunk";
  // What the EEPROM holds now is the reference from here on.
  expected_.assign(now.begin(), now.begin() + transferLength_);
  if (!cut.untouched) savedProduct_.reset();
  return {};
}

std::string Soak::Save() {
  // After a load, Save asks before writing over the loaded file.
  app_->Dialogs().AnswerQuestion(true);
  if (!Click("3")) return "the save did not end";
  const QStringList messages = app_->Dialogs().Messages();
  if (messages == Only(text::kSizeNotEnough)) return {};
  const auto image = app_->Window().Model().ImageBuffer();
  const std::vector<uint8_t> intended(image.begin(), image.begin() + transferLength_);
  const bool succeeded = messages == Only(text::kSaveDone);
  std::string problem = JudgeWrite(
      succeeded, messages == QStringList{QString::fromLatin1(image::kOperateEepromFailedText)},
      intended);
  if (problem.empty() && succeeded) {
    auto* product = app_->Window().UsbPage().findChild<QLineEdit*>(QStringLiteral("1019"));
    if (product != nullptr) savedProduct_ = product->text();
  }
  return problem;
}

std::string Soak::Dump() {
  const QString file =
      app_->TempPath(QStringLiteral("dump-%1.bin").arg(static_cast<int>(Uniform(0, 3))));
  app_->Dialogs().AnswerFile(file);
  if (!Click("1160")) return "the dump did not end";
  const QStringList messages = app_->Dialogs().Messages();
  const QByteArray content = ReadFile(file);
  const auto known = files_.find(file);
  if (messages == Only(text::kDumpDone)) {
    if (content != Bytes(expected_)) return "the dump is not what the EEPROM holds";
    files_[file] = content;
    ++figures_.succeeded;
    return {};
  }
  if (messages != Only(text::kReadFailed)) return "neither success nor the failure was reported";
  if (!faulted_) return "a failure without a fault";
  ++figures_.reported;
  const bool kept = known == files_.end() ? !QFile::exists(file) : content == known->second;
  return kept ? std::string() : "a failed dump changed the chosen file";
}

std::string Soak::Load() {
  std::vector<QString> paths;
  for (const auto& [path, content] : files_)
    paths.push_back(path);
  const QString file = paths[Uniform(0, paths.size() - 1)];
  app_->Dialogs().AnswerFile(file);
  if (!Click("1161")) return "the load did not end";
  const QByteArray content = files_[file];
  std::vector<uint8_t> intended(transferLength_, 0);
  std::copy_n(content.begin(), std::min<qsizetype>(content.size(), transferLength_),
              intended.begin());
  const QStringList messages = app_->Dialogs().Messages();
  std::string problem =
      JudgeWrite(messages == Only(text::kLoadDone), messages == Only(text::kWriteFailed), intended);
  if (problem.empty() && messages == Only(text::kLoadDone)) savedProduct_.reset();
  return problem;
}

std::string Soak::Erase() {
  app_->Dialogs().AnswerQuestion(true);
  if (!Click("4")) return "the erase did not end";
  const QStringList messages = app_->Dialogs().Messages();
  std::string problem =
      JudgeWrite(messages == Only(text::kEraseDone), messages == Only(text::kEraseFailed),
                 std::vector<uint8_t>(transferLength_, 0));
  if (problem.empty() && messages == Only(text::kEraseDone)) savedProduct_.reset();
  return problem;
}

std::string Soak::CheckAfter() {
  if (std::string release = ReleaseProblem(*app_); !release.empty()) return release;
  if (app_->Window().IsConnected() && !app_->Backend().IsPlugged())
    return "connected to a device that is gone";
  const std::vector<uint8_t> now = app_->EepromBytes();
  if (!std::equal(expected_.begin(), expected_.end(), now.begin()))
    return "the EEPROM is not what the operations so far leave in it";
  if (now[transferLength_] != lastByte_) return "the EEPROM's last byte changed";
  return {};
}

}  // namespace veltra::app::testing
