// The typed settings store: four ordered lists of name=value lines (booleans, floats, integers,
// strings), copied to and from an INI file or, on request, a registry key (on Windows the
// registry itself, elsewhere INI files in the user's configuration folder standing for its
// keys). It also saves and restores window placement, and it never touches a window itself:
// the GUI binds TPlacementTarget and the message hook.
#pragma once

#include "settings/vtIniFile.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// Where an open store reads and writes its values (defined in vtRegVal.cpp).
class TStoreBackend;

enum TRegRoot : std::int32_t { rgCurrentUser = 0, rgLocalMachine = 1 };

// Fixed underlying type: a stored state outside 0..2 is handed on unchanged.
enum TWindowState : std::int32_t { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

struct TPlacementRect {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
};

// A window as the placement operations see it.
class TPlacementTarget {
public:
    virtual ~TPlacementTarget() = default;
    // The window's name, used as its section.
    virtual std::string Name() const = 0;
    // The restored (normal) rectangle whatever the current state; false when unknown.
    virtual bool GetNormalBounds(TPlacementRect& bounds) const = 0;
    virtual TWindowState WindowState() const = 0;
    virtual void SetWindowState(TWindowState state) = 0;
    virtual void SetLeft(std::int32_t left) = 0;
    virtual void SetTop(std::int32_t top) = 0;
    virtual void SetWidth(std::int32_t width) = 0;
    virtual void SetHeight(std::int32_t height) = 0;
};

// Receives the finished text of a stored value that could not be read; the program shows it in
// a message box and goes on once it is closed.
using TSettingsMessageHook = std::function<void(const std::string&)>;

// Where the store finds the program's folder and the user's configuration folder.
struct TStoreLocation {
    std::string ExeDirectory;          // with a trailing '/'
    bool ExeDirectoryWritable = false; // false sends the settings file to the config folder
    std::string XdgConfigHome;         // $XDG_CONFIG_HOME; used when absolute
    std::string Home;                  // $HOME
};

// The location of the running program and user.
TStoreLocation CurrentStoreLocation();
// "$XDG_CONFIG_HOME/fernsweep/", else "$HOME/.config/fernsweep/", else empty.
std::string UserConfigFolder(const TStoreLocation& loc);
// The settings file of INI mode, or empty when there is nowhere to keep it.
std::string IniFilePath(const std::string& iniFileName, bool useStartUpDir,
                        const TStoreLocation& loc);
// The INI file that stands for a registry key: one file per key under the configuration
// folder's registry/ tree, its sub-keys being the file's sections. Empty when there is no
// configuration folder.
std::string RegistryKeyFilePath(TRegRoot root, const std::string& keyPath,
                                const std::string& subKey, const TStoreLocation& loc);

// Text conversions of stored values, independent of the process locale.
bool TryParseInt64(std::string_view text, std::int64_t& value);
bool TryParseFloat(std::string_view text, double& value);
std::string FloatToText(double value); // general form, up to 15 significant digits, '.'
// A number (true when not zero) or True/False in any letter case; throws ESettingsError
// "'text' is not a valid boolean value" otherwise.
bool TextToBool(const std::string& text);
// The low 32 bits of a number, read as a signed 32-bit integer.
std::int32_t LowInt32(std::int64_t value);

class TvtRegVal {
public:
    // Marks a missing placement coordinate.
    static constexpr std::int64_t kNoPlacementValue = 0x1FFFFFF;

    TvtRegVal();
    ~TvtRegVal();
    TvtRegVal(const TvtRegVal&) = delete;
    TvtRegVal& operator=(const TvtRegVal&) = delete;

    // Configuration, set before first use.
    std::string IniFileName;
    std::string IniSection;
    bool UseStartUpDir = true;
    bool UseRegistry = false;
    TRegRoot RegistryRoot = rgCurrentUser;

    // The four lists; assigning one replaces its whole content with a copy.
    const std::vector<std::string>& Booleans() const { return booleans_; }
    const std::vector<std::string>& Floats() const { return floats_; }
    const std::vector<std::string>& Integers() const { return integers_; }
    const std::vector<std::string>& Strings() const { return strings_; }
    void SetBooleans(std::vector<std::string> lines) { booleans_ = std::move(lines); }
    void SetFloats(std::vector<std::string> lines) { floats_ = std::move(lines); }
    void SetIntegers(std::vector<std::string> lines) { integers_ = std::move(lines); }
    void SetStrings(std::vector<std::string> lines) { strings_ = std::move(lines); }

    // Without a hook the read messages are dropped.
    void SetMessageHook(TSettingsMessageHook hook) { hook_ = std::move(hook); }
    // Replaces the program and user folders the store looks at (portable setups, tests).
    void SetLocationProvider(std::function<TStoreLocation()> provider);

    // The file the INI or registry backend would use now (in registry mode on Windows, the
    // key's full name, "HKEY_CURRENT_USER\Software\..."); empty when there is none.
    std::string BackendFileName() const;

    // Backend to lists and lists to backend, for every entry of every list, in list order.
    void Load();
    void Save();

    // Named access, names compared ignoring ASCII case; an unknown name throws.
    bool GetBoolean(const std::string& name) const;
    void SetBoolean(const std::string& name, bool value);
    std::int64_t GetInteger(const std::string& name) const;
    void SetInteger(const std::string& name, std::int64_t value);
    std::string GetString(const std::string& name) const;
    void SetString(const std::string& name, const std::string& value);

    // Access by line index.
    bool BooleanAt(size_t i) const;
    double FloatAt(size_t i) const;
    std::int64_t IntegerAt(size_t i) const;
    void SetBooleanAt(size_t i, bool value);
    void SetFloatAt(size_t i, double value);
    void SetIntegerAt(size_t i, std::int64_t value);
    void SetStringAt(size_t i, const std::string& value);

    // Backend primitives, each with the unprefixed section. With no backend open, writes do
    // nothing and reads give empty (the typed ones their default).
    void WriteStoredString(const std::string& section, const std::string& ident,
                           const std::string& text);
    void WriteStoredBool(const std::string& section, const std::string& ident, bool value);
    void WriteStoredFloat(const std::string& section, const std::string& ident, double value);
    void WriteStoredInteger(const std::string& section, const std::string& ident,
                            std::int64_t value);
    std::string ReadStoredString(const std::string& section, const std::string& ident,
                                 const std::string& defaultValue) const;
    bool ReadStoredBool(const std::string& section, const std::string& ident,
                        bool defaultValue) const;
    double ReadStoredFloat(const std::string& section, const std::string& ident,
                           double defaultValue) const;
    std::int64_t ReadStoredInteger(const std::string& section, const std::string& ident,
                                   std::int64_t defaultValue) const;

    // Opens the backend; false, silently, when it cannot be created. Closing is idempotent.
    bool OpenStore();
    void CloseStore();
    bool IsOpen() const { return backend_ != nullptr; }

    // Window placement, written to and read from the backend directly.
    void SaveFormPlacement(const TPlacementTarget& target);
    void RestoreFormPlacement(TPlacementTarget& target, bool withSize = true);

private:
    class TOpenScope;

    std::string BackendSection(const std::string& section) const;
    void Report(const std::string& text) const;
    TStoreLocation Location() const;

    std::vector<std::string> booleans_;
    std::vector<std::string> floats_;
    std::vector<std::string> integers_;
    std::vector<std::string> strings_;
    TSettingsMessageHook hook_;
    std::function<TStoreLocation()> location_;
    std::unique_ptr<TStoreBackend> backend_;
    std::string sectionPrefix_; // IniSection and a backslash towards an INI file, else empty
};

} // namespace settings
