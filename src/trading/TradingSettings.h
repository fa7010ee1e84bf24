// The trading settings: one INI file beside the library (same folder and
// base name, ".ini"), shared by TradeFile and TradeQuik. It holds their
// settings and the state TradeQuik keeps between calculations and between
// runs of the host: the last transaction number and, per security and
// strategy instance, the last bar seen.
//
// There is one library-wide TradingSettings object, opened by the first
// trading module's load step and closed by TradeQuik's unload step. Every
// read sees the file as it is at that moment; every write goes to the file
// at once (and on POSIX replaces it atomically).
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

namespace msx {

inline constexpr const char* kTradeFileSection = "TradeFile";
inline constexpr const char* kTradeQuikSection = "TradeQuik";

// The transaction line template written into a fresh settings file.
inline constexpr const char* kDefaultTemplate =
    "TRANS_ID=%N;ACCOUNT=%A;CLIENT_CODE=%C;TYPE=%T;CLASSCODE=%M;SECCODE=%S;"
    "ACTION=NEW_ORDER;OPERATION=%O;PRICE=%P;QUANTITY=%Q;";

// The settings file's path for a library at libraryPath: its extension (the
// last "." of the file name and what follows) replaced by ".ini", or ".ini"
// added when it has none. Empty for an empty path.
std::string SettingsPathFor(const std::string& libraryPath);

// True when the texts are the same but for the letter case of A to Z, as
// the settings' names and on/off values compare.
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// A decimal 32-bit integer, blanks around it and a sign allowed; false for
// anything else (an empty text included).
bool ParseInt32(std::string_view text, int32_t* value);

// Settings read once at load (the TradeFile section).
struct TradeFileSettings {
  std::string author;
  std::string directory;
  bool closePositionAtLastBar = false;
};

// Settings read once at load (the TradeQuik section): the defaults of every
// security section.
struct TradeQuikSettings {
  std::string account;
  std::string clientCode;
  std::string file;
  std::string templateText;
};

class TradingSettings {
 public:
  explicit TradingSettings(std::string path) : path_(std::move(path)) {}

  const std::string& path() const { return path_; }

  // The key's value, or defaultValue when the key is absent; cut to 2047
  // characters.
  std::string ReadText(const std::string& section, const std::string& key,
                       const std::string& defaultValue) const;
  // Creates the section and the key as needed. False when the write could
  // not be done: the file cannot be written, or the names or the value
  // cannot be stored so that they read back (a line break anywhere, an
  // empty name, "]" in the section name, "=" in the key or a "[" opening it).
  // Names that cannot be stored are never found by reads either.
  bool WriteText(const std::string& section, const std::string& key, const std::string& value);

  // The key's value as a decimal 32-bit integer (blanks around it allowed),
  // or defaultValue when the key is absent or holds anything else.
  int32_t ReadInteger(const std::string& section, const std::string& key,
                      int32_t defaultValue) const;
  bool WriteInteger(const std::string& section, const std::string& key, int32_t value);

  // Removes the key; true when it is gone (or was never there).
  bool DeleteKey(const std::string& section, const std::string& key);

  bool SectionHasKeys(const std::string& section) const;

  // Makes every write so far durable in the file.
  bool Flush();

  // True when the section and key names can be stored in the file and read back.
  static bool Storable(const std::string& section, const std::string& key);

  // The values read at load.
  TradeFileSettings tradeFile;
  TradeQuikSettings tradeQuik;

  // Held by a TradeQuik calculation from its first read of the file to its
  // last write. The charts of one host share the transaction counter, and
  // two charts of one security may share a strategy instance's last bar
  // seen; each calculation reads them and writes them back, so two at once
  // could hand out one number twice or send one order twice. The same holds
  // for hosts in other processes that use the same settings file: the turn
  // is theirs too (the platform's lock across processes for the file).
  class Turn {
   public:
    explicit Turn(TradingSettings& settings);
    ~Turn();
    Turn(const Turn&) = delete;
    Turn& operator=(const Turn&) = delete;

   private:
    std::lock_guard<std::mutex> charts_;
    void* processes_ = nullptr;
  };

 private:
  std::string path_;  // empty: no file (reads give defaults, writes fail)
  std::mutex calculationLock_;
};

// The library-wide object: null while closed.
TradingSettings* CurrentTradingSettings();

// The open object; a fault ("Trading settings are not open") when closed.
TradingSettings& OpenTradingSettingsOrFault();

// Opens the object over the file at path unless it is open already, and
// removes the temporary files that killed writers left beside the file.
void OpenTradingSettings(const std::string& path);
// Opens the object over the file beside the library unless it is open already.
void OpenTradingSettingsBesideLibrary();
// Closes the object (nothing when it is closed).
void CloseTradingSettings();

// The load-time reads of the two sections, with their missing-key rule:
// each text is read with the default "#N#A", and that result (the key
// absent, or holding that very text) writes the key's default into the file
// and uses it. ClosePositionAtLastBar is on for "YES", "true" or "1" (any
// case), which stay; any other value switches it off and is rewritten "no".
// Each opens the object first when needed and flushes at the end.
void ReadTradeFileSettings();
void ReadTradeQuikSettings();

}  // namespace msx
