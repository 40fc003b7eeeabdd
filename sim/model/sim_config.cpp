#include "sim_config.h"

#include <stddef.h>
#include <string.h>

namespace zelsim {

namespace {

constexpr uint8_t kLargestStandard = 15;
constexpr uint32_t kLargestPortLevel = 1;
// Enough digits for any accepted value; longer numbers are refused before they can overflow.
constexpr size_t kMaxDigits = 10;

struct Span {
  const char* text;
  size_t length;
};

bool Is(const Span& span, const char* literal) {
  const size_t n = strlen(literal);
  return span.length == n && memcmp(span.text, literal, n) == 0;
}

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Steps `*cursor` past the next word; false when none is left.
bool NextWord(const char** cursor, Span* word) {
  const char* p = *cursor;
  while (*p != '\0' && IsSeparator(*p)) ++p;
  if (*p == '\0') return false;
  const char* start = p;
  while (*p != '\0' && !IsSeparator(*p)) ++p;
  word->text = start;
  word->length = static_cast<size_t>(p - start);
  *cursor = p;
  return true;
}

// Splits "key=value"; a word without '=' is a key with no value.
void SplitWord(const Span& word, Span* key, Span* value, bool* hasValue) {
  for (size_t i = 0; i < word.length; ++i) {
    if (word.text[i] == '=') {
      *key = Span{word.text, i};
      *value = Span{word.text + i + 1, word.length - i - 1};
      *hasValue = true;
      return;
    }
  }
  *key = word;
  *value = Span{word.text + word.length, 0};
  *hasValue = false;
}

bool ParseNumber(const Span& span, uint32_t largest, uint32_t* out) {
  if (span.length == 0 || span.length > kMaxDigits) return false;
  uint64_t value = 0;
  for (size_t i = 0; i < span.length; ++i) {
    const char c = span.text[i];
    if (c < '0' || c > '9') return false;
    value = value * 10 + static_cast<uint32_t>(c - '0');
  }
  if (value > largest) return false;
  *out = static_cast<uint32_t>(value);
  return true;
}

bool ParseStandard(const Span& value, uint8_t* standard) {
  // The names stand for the nibbles the device reports for each kind of signal.
  struct Named {
    const char* name;
    uint8_t nibble;
  };
  static constexpr Named kNames[] = {{"525", 0}, {"625", 2}, {"525w", 4}, {"625w", 10}};
  for (const Named& named : kNames) {
    if (Is(value, named.name)) {
      *standard = named.nibble;
      return true;
    }
  }
  uint32_t number = 0;
  if (!ParseNumber(value, kLargestStandard, &number)) return false;
  *standard = static_cast<uint8_t>(number);
  return true;
}

bool ParseContent(const Span& value, InputContent* content) {
  if (Is(value, "bars")) {
    *content = InputContent::kBars;
  } else if (Is(value, "ramp")) {
    *content = InputContent::kRamp;
  } else if (Is(value, "moving")) {
    *content = InputContent::kMoving;
  } else if (Is(value, "none")) {
    *content = InputContent::kNone;
  } else {
    return false;
  }
  return true;
}

bool ParseTiming(const Span& value, TimingMode* timing) {
  if (Is(value, "realtime")) {
    *timing = TimingMode::kRealtime;
  } else if (Is(value, "free")) {
    *timing = TimingMode::kFree;
  } else if (Is(value, "manual")) {
    *timing = TimingMode::kManual;
  } else {
    return false;
  }
  return true;
}

// "input0".."input5" → 0..5; -1 for anything else.
int InputKey(const Span& key) {
  constexpr char kPrefix[] = "input";
  constexpr size_t kPrefixLength = sizeof(kPrefix) - 1;
  if (key.length != kPrefixLength + 1 || memcmp(key.text, kPrefix, kPrefixLength) != 0) return -1;
  const int digit = key.text[kPrefixLength] - '0';
  return digit >= 0 && digit < kInputCount ? digit : -1;
}

bool ParseConfigWord(const Span& word, SimConfig* config) {
  Span key;
  Span value;
  bool hasValue = false;
  SplitWord(word, &key, &value, &hasValue);
  if (!hasValue) return false;
  if (Is(key, "standard")) {
    config->hasStandard = ParseStandard(value, &config->standard);
    return config->hasStandard;
  }
  if (Is(key, "timing")) {
    config->hasTiming = ParseTiming(value, &config->timing);
    return config->hasTiming;
  }
  if (Is(key, "port")) {
    uint32_t level = 0;
    if (!ParseNumber(value, kLargestPortLevel, &level)) return false;
    config->hasPort = true;
    config->portLevel = static_cast<uint8_t>(level);
    return true;
  }
  const int input = InputKey(key);
  if (input < 0) return false;
  config->hasContent[input] = ParseContent(value, &config->content[input]);
  return config->hasContent[input];
}

bool ParseFaultWord(const Span& word, FaultAction* action) {
  Span key;
  Span value;
  bool hasValue = false;
  SplitWord(word, &key, &value, &hasValue);
  struct Flag {
    const char* name;
    FaultKind kind;
  };
  static constexpr Flag kFlags[] = {
      {"unplug", FaultKind::kUnplug}, {"replug", FaultKind::kReplug}, {"clear", FaultKind::kClear}};
  struct Counted {
    const char* name;
    FaultKind kind;
    uint32_t largest;
  };
  static constexpr Counted kCounted[] = {
      {"fail-after", FaultKind::kFailAfter, kMaxFaultCount},
      {"short", FaultKind::kShort, kMaxFaultCount},
      {"stall", FaultKind::kStall, kMaxStallMs},
      {"read-fail", FaultKind::kReadFail, kMaxFaultCount},
      {"release", FaultKind::kRelease, kMaxFaultCount},
  };
  if (!hasValue) {
    for (const Flag& flag : kFlags) {
      if (Is(key, flag.name)) {
        *action = FaultAction{flag.kind, 0};
        return true;
      }
    }
    return false;
  }
  for (const Counted& counted : kCounted) {
    if (Is(key, counted.name)) {
      action->kind = counted.kind;
      return ParseNumber(value, counted.largest, &action->value);
    }
  }
  return false;
}

}  // namespace

bool ParseConfig(const char* text, SimConfig* config) {
  if (config == nullptr) return false;
  memset(config, 0, sizeof(*config));
  if (text == nullptr) return true;
  const char* cursor = text;
  Span word;
  while (NextWord(&cursor, &word)) {
    if (!ParseConfigWord(word, config)) return false;
  }
  return true;
}

bool ParseFaults(const char* text, FaultList* faults) {
  if (text == nullptr || faults == nullptr) return false;
  faults->count = 0;
  const char* cursor = text;
  Span word;
  while (NextWord(&cursor, &word)) {
    if (faults->count == kMaxFaultActions) return false;
    if (!ParseFaultWord(word, &faults->actions[faults->count])) return false;
    ++faults->count;
  }
  return faults->count > 0;
}

}  // namespace zelsim
