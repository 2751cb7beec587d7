#include "platform/sim/sim_eeprom.h"

#include <algorithm>

#include "platform/file_replace.h"

namespace veltra::sim {

SimEeprom::SimEeprom(EepromPart part, int64_t writeCycleNs)
    : part_(part),
      info_(PartInfo(part)),
      writeCycleNs_(writeCycleNs),
      contents_(info_.size, 0xFF) {}

SimEeprom::~SimEeprom() {
  if (inTransfer_) {
    EndTransfer();
  } else {
    Flush();
  }
}

bool SimEeprom::Answers(uint8_t deviceAddressByte) const {
  if ((deviceAddressByte & 0xF0) != 0xA0) return false;
  // A2..A0 as strapped; pins that carry block bits are not compared.
  const uint32_t pins = (deviceAddressByte >> 1) & 7;
  const uint32_t strap = (info_.deviceAddress >> 1) & 7;
  return (pins >> info_.blockBits) == (strap >> info_.blockBits);
}

void SimEeprom::Start(int64_t /*t*/) {
  page_.clear();  // a page is only programmed at STOP
  state_ = State::kDeviceAddress;
}

bool SimEeprom::WriteByte(uint8_t byte, int64_t t) {
  if (refused_ || InWriteCycle(t)) {
    state_ = State::kIdle;
    return false;
  }
  switch (state_) {
    case State::kDeviceAddress:
      if (!Answers(byte)) {
        state_ = State::kIdle;
        return false;
      }
      if (byte & 1) {
        state_ = State::kSending;  // current-address or sequential read
      } else {
        block_ = (byte >> 1) & ((1u << info_.blockBits) - 1);
        wordAddress_ = 0;
        wordBytesReceived_ = 0;
        state_ = State::kWordAddress;
      }
      return true;
    case State::kWordAddress:
      wordAddress_ = wordAddress_ << 8 | byte;
      if (++wordBytesReceived_ == info_.addressBytes) {
        counter_ = (block_ << 8 | wordAddress_) & (info_.size - 1);
        state_ = State::kReceiving;
      }
      return true;
    case State::kReceiving: {
      page_.emplace_back(counter_, byte);
      const uint32_t pageBase = counter_ & ~(info_.pageSize - 1);
      counter_ = pageBase | ((counter_ + 1) & (info_.pageSize - 1));
      return true;
    }
    case State::kSending:  // the master talks while the part should: it gives up
    case State::kIdle:
      state_ = State::kIdle;
      return false;
  }
  return false;
}

uint8_t SimEeprom::ReadByte(int64_t t) {
  if (refused_ || state_ != State::kSending || InWriteCycle(t)) return 0xFF;
  const uint8_t value = contents_[counter_];
  counter_ = (counter_ + 1) % info_.size;
  return value;
}

void SimEeprom::Stop(int64_t t) {
  if (state_ == State::kReceiving && !page_.empty()) {
    bool programmed = false;
    for (const auto& [address, value] : page_) {
      if (writeProtectFrom_ && address >= *writeProtectFrom_) continue;
      contents_[address] = value;
      programmed = true;
    }
    // A protected page starts no write cycle.
    if (programmed) {
      writeCycleEndNs_ = t + writeCycleNs_;
      ++completedWrites_;
      dirty_ = true;
    }
  }
  page_.clear();
  state_ = State::kIdle;
}

void SimEeprom::PowerCycle() {
  if (inTransfer_) EndTransfer();  // the transfer cannot go on: let the other tools in
  page_.clear();
  state_ = State::kIdle;
  writeCycleEndNs_ = std::numeric_limits<int64_t>::min();
}

std::string SimEeprom::Adopt(const std::string& path, const ImageFileRead& read) {
  switch (read.status) {
    case ImageFileRead::Status::kMissing:
      // Nothing to read: the contents stay, and the first write makes the file.
      fileLength_ = info_.size;
      stamp_.reset();
      return {};
    case ImageFileRead::Status::kLoaded:
      // Bytes the file does not reach read as 0, as FILE -> EEPROM completes a short file, so
      // that every front end sees the same image in the same file.
      std::fill(contents_.begin(), contents_.end(), 0);
      std::copy(read.bytes.begin(), read.bytes.end(), contents_.begin());
      fileLength_ = (read.fileSize + 1 >= info_.size) ? read.fileSize : info_.size;
      stamp_ = read.stamp;
      dirty_ = false;
      return {};
    case ImageFileRead::Status::kTooLarge:
      return "EEPROM image " + path + " refused: " + std::to_string(read.fileSize) +
             " bytes is more than the " + std::to_string(info_.size) + " bytes of a " + info_.name;
    case ImageFileRead::Status::kError:
      break;
  }
  return "cannot read EEPROM image " + path + ": " + read.reason;
}

bool SimEeprom::LoadFromFile(const std::string& path) {
  platform::RemoveStaleTemporaries(path);
  const ImageFileRead read = ReadImageFile(path, info_.size);
  if (std::string problem = Adopt(path, read); !problem.empty()) {
    lastError_ = std::move(problem);
    return false;
  }
  loadedFileSize_.reset();
  if (read.status == ImageFileRead::Status::kLoaded) loadedFileSize_ = read.fileSize;
  filePath_ = path;
  dirty_ = false;
  lastError_.clear();
  return true;
}

void SimEeprom::BeginTransfer() {
  if (inTransfer_) return;
  inTransfer_ = true;
  refused_ = false;
  if (filePath_.empty()) {
    // Not bound to a file (none given, or the one given was refused at start): the transfers
    // work on the contents in memory, which keep what is written. A refusal at start is over.
    lastError_.clear();
    return;
  }
  if (std::string problem = lock_.Acquire(filePath_, lockTimeout_); !problem.empty()) {
    lastError_ = "cannot use EEPROM image " + filePath_ + ": " + problem;
    refused_ = true;
    return;
  }
  // Another tool may have written the file since: this transfer works on what it holds now.
  if (platform::StampOfPath(filePath_) != stamp_) {
    if (std::string problem = Adopt(filePath_, ReadImageFile(filePath_, info_.size));
        !problem.empty()) {
      lastError_ = std::move(problem);
      refused_ = true;
      lock_.Release();
      return;
    }
  }
  if (!dirty_) lastError_.clear();  // what failed before is over; an unwritten image is not
}

void SimEeprom::EndTransfer() {
  if (!inTransfer_) return;
  inTransfer_ = false;
  if (refused_) {
    refused_ = false;
  } else {
    Flush();
  }
  lock_.Release();
}

bool SimEeprom::Flush() {
  if (filePath_.empty() || !dirty_) return true;
  // Outside a transfer (a device unplugged or destroyed in the middle of one) the write still
  // waits for the other tools.
  ImageFileLock ownLock;
  if (!lock_.Held()) {
    if (std::string problem = ownLock.Acquire(filePath_, lockTimeout_); !problem.empty()) {
      lastError_ = "cannot write EEPROM image " + filePath_ + ": " + problem;
      DropUnwritten();
      return false;
    }
  }
  const std::span<const uint8_t> image(contents_.data(), static_cast<size_t>(fileLength_));
  if (std::string reason = platform::ReplaceFile(filePath_, image); !reason.empty()) {
    lastError_ = "cannot write EEPROM image " + filePath_ + ": " + reason;
    DropUnwritten();
    return false;
  }
  stamp_ = platform::StampOfPath(filePath_);
  dirty_ = false;
  lastError_.clear();
  return true;
}

void SimEeprom::DropUnwritten() {
  dirty_ = false;
  const ImageFileRead read = ReadImageFile(filePath_, info_.size);
  if (!Adopt(filePath_, read).empty()) {
    stamp_.reset();  // the next transfer reads the file again, or is refused
  } else if (read.status == ImageFileRead::Status::kMissing) {
    std::fill(contents_.begin(), contents_.end(), 0xFF);
  }
}

}  // namespace veltra::sim
