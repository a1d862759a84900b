#include "editor/converter_host.h"

#include <dlfcn.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <new>
#include <span>
#include <thread>
#include <vector>

#include "editor/converter_api.h"
#include "editor/document_file.h"

namespace ostrivel {
namespace {

using InitConverterFn = decltype(::InitConverter32);
using IsFormatCorrectFn = decltype(::IsFormatCorrect32);
using ForeignToRtfFn = decltype(::ForeignToRtf32);

constexpr const char* kApplicationName = "OSTRIVEL";

// A converter library, loaded for as long as this object lives.
class ConverterLibrary {
 public:
  static std::optional<ConverterLibrary> Load(const std::string& path) {
    if (path.empty()) return std::nullopt;
    // Without a "/" dlopen would search the system's library folders instead of this file.
    const std::string file = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return std::nullopt;
    return ConverterLibrary(handle);
  }

  template <typename Function>
  Function* Find(const char* name) const {
    return reinterpret_cast<Function*>(::dlsym(handle_.get(), name));
  }

 private:
  struct Unload {
    void operator()(void* handle) const { ::dlclose(handle); }
  };

  explicit ConverterLibrary(void* handle) : handle_(handle) {}

  std::unique_ptr<void, Unload> handle_;
};

// Carries RTF from the converter's thread to the waiting caller, one block at a time: the
// converter offers what it put into the block and waits until the caller has taken it all.
class RtfHandOver {
 public:
  explicit RtfHandOver(const char* block) : block_(block) {}

  // Converter's thread. The answer goes back to the converter.
  long Offer(long count) {
    if (count == 0) return 0;
    std::unique_lock lock(mutex_);
    if (abandoned_ || fault_) return OSTRIVEL_CONVERTER_STOP;
    if (count < 0 || count > OSTRIVEL_RTF_BLOCK_SIZE) {
      fault_ = true;
      return OSTRIVEL_CONVERTER_STOP;
    }
    offset_ = 0;
    pending_ = static_cast<std::size_t>(count);
    bytes_or_end_.notify_one();
    taken_.wait(lock, [this] { return pending_ == 0 || abandoned_; });
    return abandoned_ ? OSTRIVEL_CONVERTER_STOP : 0;
  }

  // Converter's thread, once ForeignToRtf32 has returned.
  void Finish(long result) {
    const std::lock_guard lock(mutex_);
    finished_ = true;
    result_ = result;
    bytes_or_end_.notify_one();
  }

  // Caller: waits for bytes and copies as many as fit into `area`. 0 means the converter ended.
  std::size_t Take(std::span<char> area) {
    std::unique_lock lock(mutex_);
    bytes_or_end_.wait(lock, [this] { return pending_ > 0 || finished_; });
    const std::size_t count = std::min(pending_, area.size());
    std::copy_n(block_ + offset_, count, area.begin());
    offset_ += count;
    pending_ -= count;
    if (pending_ == 0) taken_.notify_one();
    return count;
  }

  // Caller: no more bytes will be taken; a waiting converter is released and told to stop.
  void Abandon() {
    const std::lock_guard lock(mutex_);
    abandoned_ = true;
    taken_.notify_one();
  }

  bool Succeeded() {
    const std::lock_guard lock(mutex_);
    return finished_ && result_ == 0 && !fault_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable bytes_or_end_;  // tells the caller: bytes are ready, or the end
  std::condition_variable taken_;         // tells the converter: the bytes were taken
  const char* const block_;
  std::size_t offset_ = 0;   // where the untaken bytes start in the block
  std::size_t pending_ = 0;  // bytes offered and not yet taken
  bool finished_ = false;
  bool abandoned_ = false;
  bool fault_ = false;  // the converter reported an impossible byte count
  long result_ = 0;
};

// The output callback has no context argument, so the conversion in progress is found here.
// Only one conversion runs at a time: ConvertToRtf holds conversion_in_progress throughout.
std::atomic<RtfHandOver*> active_hand_over{nullptr};
std::mutex conversion_in_progress;

long DeliverRtfBlock(long byte_count, int /*percent_done*/) {
  RtfHandOver* hand_over = active_hand_over.load();
  if (!hand_over) return OSTRIVEL_CONVERTER_NO_BLOCK;
  return hand_over->Offer(byte_count);
}

class ActiveHandOver {
 public:
  explicit ActiveHandOver(RtfHandOver& hand_over) { active_hand_over.store(&hand_over); }
  ActiveHandOver(const ActiveHandOver&) = delete;
  ActiveHandOver& operator=(const ActiveHandOver&) = delete;
  ~ActiveHandOver() { active_hand_over.store(nullptr); }
};

// The worker thread that runs ForeignToRtf32. Leaving the scope releases a converter still
// waiting to hand over (the caller stopped taking, say on an exception) and joins it.
class ConverterThread {
 public:
  ConverterThread(RtfHandOver& hand_over, ForeignToRtfFn* convert, const std::string& path,
                  char* block)
      : hand_over_(hand_over), thread_([&hand_over, convert, path, block] {
          hand_over.Finish(convert(path.c_str(), nullptr, block, "", "", &DeliverRtfBlock));
        }) {}
  ConverterThread(const ConverterThread&) = delete;
  ConverterThread& operator=(const ConverterThread&) = delete;
  ~ConverterThread() { hand_over_.Abandon(); }  // thread_ joins after this

 private:
  RtfHandOver& hand_over_;
  std::jthread thread_;
};

std::optional<std::string> RunConversion(ForeignToRtfFn* convert,
                                         const std::string& document_path) {
  std::vector<char> block(OSTRIVEL_RTF_BLOCK_SIZE);
  RtfHandOver hand_over(block.data());
  const ActiveHandOver slot(hand_over);
  std::string rtf;
  bool all_taken = true;
  {
    const ConverterThread worker(hand_over, convert, document_path, block.data());
    try {
      std::vector<char> transfer_area(kConverterTransferSize);
      while (const std::size_t count = hand_over.Take(transfer_area)) {
        rtf.append(transfer_area.data(), count);
      }
    } catch (const std::bad_alloc&) {  // the RTF cannot grow: the converter is told to stop
      all_taken = false;
    }
  }
  if (!all_taken || !hand_over.Succeeded()) return std::nullopt;
  return rtf;
}

// True when the document can be read and has no bytes; nullopt when it cannot be opened.
std::optional<bool> DocumentIsEmpty(const std::string& document_path) {
  const auto document = OpenDocumentForReading(document_path);
  if (!document) return std::nullopt;
  return document->size == 0;
}

}  // namespace

bool ConverterAcceptsFile(const std::string& converter_path, const std::string& document_path) {
  const auto library = ConverterLibrary::Load(converter_path);
  if (!library) return false;
  auto* is_format_correct = library->Find<IsFormatCorrectFn>("IsFormatCorrect32");
  if (!is_format_correct) return false;
  std::array<char, OSTRIVEL_CLASS_NAME_SIZE> class_name{};
  return is_format_correct(document_path.c_str(), class_name.data()) == 1;
}

std::optional<std::string> ConvertToRtf(const std::string& converter_path,
                                        const std::string& document_path, void* main_window) {
  const std::lock_guard one_at_a_time(conversion_in_progress);
  const auto library = ConverterLibrary::Load(converter_path);
  if (!library) return std::nullopt;
  auto* convert = library->Find<ForeignToRtfFn>("ForeignToRtf32");
  if (!convert) return std::nullopt;
  if (auto* init = library->Find<InitConverterFn>("InitConverter32")) {
    init(main_window, kApplicationName);
  }
  const auto empty = DocumentIsEmpty(document_path);
  if (!empty) return std::nullopt;
  if (*empty) return std::string();  // an empty RTF stream, nothing to convert
  return RunConversion(convert, document_path);
}

}  // namespace ostrivel
