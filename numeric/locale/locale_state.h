// The process-wide locale settings behind locale_texts.h: texts of fixed capacity, the message
// override table and the settings file's flags.
//
// State: process-wide by nature (settings apply to every thread alike); set at start-up and by
// LOCALE. Nothing here is saved or restored at a thread switch.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "numeric/locale/locale_texts.h"

namespace kes::numeric {

// A text of at most kCapacity bytes held inline; longer assignments are cut.
class ShortText {
 public:
  static constexpr std::size_t kCapacity = 64;
  ShortText() noexcept = default;
  explicit ShortText(std::string_view text) noexcept;
  void assign(std::string_view text) noexcept;
  std::string_view view() const noexcept { return {bytes_.data(), length_}; }

 private:
  std::array<char, kCapacity> bytes_{};
  std::uint8_t length_ = 0;
};

// Message overrides: (number, text) pairs in heap blocks from the platform heap. Setting a
// number that is present replaces its text. When the heap is exhausted the set is dropped and
// the message keeps its previous text (set reports false).
class MessageTable {
 public:
  MessageTable() noexcept = default;
  MessageTable(const MessageTable&) = delete;
  MessageTable& operator=(const MessageTable&) = delete;
  ~MessageTable();

  bool set(std::int32_t number, std::string_view text) noexcept;
  // The text (followed by a zero byte, not counted), or nothing when the number has none.
  std::optional<std::string_view> find(std::int32_t number) const noexcept;
  void clear() noexcept;
  std::size_t size() const noexcept { return count_; }

 private:
  struct Entry {
    std::int32_t number;
    std::uint32_t length;
    char* text;  // platform heap block of length bytes and a terminating zero
  };
  Entry* entries_ = nullptr;  // platform heap block of capacity_ entries
  std::size_t count_ = 0;
  std::size_t capacity_ = 0;
};

struct LocaleState {
  LocaleState() noexcept;
  LocaleState(const LocaleState&) = delete;
  LocaleState& operator=(const LocaleState&) = delete;
  // Every text back to its built-in default; message overrides cleared; flags off.
  void reset() noexcept;
  // Makes `regional` show the platform values below; called after they change.
  void refresh_regional() noexcept;

  std::array<ShortText, 12> month_names;          // up to 12 characters each
  std::array<ShortText, 12> month_abbreviations;  // up to 3 characters each
  ShortText am;                                   // up to 2 characters
  ShortText pm;                                   // up to 2 characters
  // The platform's regional settings (section "intl").
  ShortText platform_am;  // s1159
  ShortText platform_pm;  // s2359
  bool twelve_hour_clock = true;
  bool hour_leading_zero = true;
  ShortText time_separator;
  ShortText short_date;
  ShortText long_date;
  RegionalSettings regional{};  // views of the values above, for regional_settings()
  MessageTable messages;
  bool oem_charset = false;      // the settings file's text is in the OEM code page
  bool long_file_names = false;  // KESLFN "on"
  ShortText system_charset;      // the window layer's font character set
};

LocaleState& locale_state() noexcept;

}  // namespace kes::numeric
