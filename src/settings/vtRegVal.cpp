#include "settings/vtRegVal.h"

#include "platform/UPlatform.h"
#ifdef _WIN32
#include "platform/URegistry.h"
#endif

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace settings {

namespace {

const char* const kBooleans = "Booleans";
const char* const kFloats = "Floats";
const char* const kIntegers = "Integers";
const char* const kStrings = "Strings";

// "/..." and, on Windows, "X:\..." or "X:/...".
bool IsAbsolutePath(const std::string& path) {
    if (!path.empty() && path.front() == '/') {
        return true;
    }
    return platform::PathDelim == '\\' && path.size() >= 3 && path[1] == ':' &&
           (path[2] == '\\' || path[2] == '/');
}

std::string WithTrailingSlash(std::string path) {
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return path;
}

// The name of a list line: the text before its first '=' (the whole line when it has none).
std::string_view LineName(std::string_view line) {
    return line.substr(0, std::min(line.find('='), line.size()));
}

std::string_view LineValue(std::string_view line) {
    const size_t eq = line.find('=');
    return eq == std::string_view::npos ? std::string_view() : line.substr(eq + 1);
}

// The index of the first line named `name`, ignoring case; npos when there is none.
size_t IndexOfName(const std::vector<std::string>& lines, std::string_view name) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (SameTextAscii(LineName(lines[i]), name)) {
            return i;
        }
    }
    return std::string::npos;
}

size_t IndexOfNameOrThrow(const std::vector<std::string>& lines, const std::string& name,
                          const char* kind) {
    const size_t i = IndexOfName(lines, name);
    if (i == std::string::npos) {
        throw ESettingsError(std::string(kind) + " Field \"" + name + "\" not found");
    }
    return i;
}

const std::string& LineAt(const std::vector<std::string>& lines, size_t i) {
    if (i >= lines.size()) {
        throw ESettingsError("List index out of bounds (" + std::to_string(i) + ")");
    }
    return lines[i];
}

void SetValueAt(std::vector<std::string>& lines, size_t i, std::string_view value) {
    LineAt(lines, i);
    std::string& line = lines[i];
    line = std::string(LineName(line)) + '=' + std::string(value);
}

std::string BoolText(bool value) {
    return value ? "1" : "0";
}

// Keeps only the components of a key path that name a key below the root ('\\' or '/' between
// them; empty, "." and ".." dropped), each appended after `separator`.
void AppendKeyComponents(std::string& out, const std::string& keyPath, char separator = '/') {
    size_t pos = 0;
    while (pos <= keyPath.size()) {
        size_t sep = keyPath.find_first_of("\\/", pos);
        if (sep == std::string::npos) {
            sep = keyPath.size();
        }
        const std::string part = keyPath.substr(pos, sep - pos);
        if (!part.empty() && part != "." && part != "..") {
            out += separator;
            out += part;
        }
        pos = sep + 1;
    }
}

const char* RootName(TRegRoot root) {
    return root == rgLocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

} // namespace

// ---- conversions --------------------------------------------------------------------------

bool TryParseInt64(std::string_view text, std::int64_t& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-') {
            return false;
        }
    }
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && end == last && !text.empty();
}

bool TryParseFloat(std::string_view text, double& value) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
        if (text.empty() || text.front() == '-') {
            return false;
        }
    }
    const char* first = text.data();
    const char* last = first + text.size();
    const auto [end, ec] = std::from_chars(first, last, value, std::chars_format::general);
    return ec == std::errc() && end == last && !text.empty();
}

std::string FloatToText(double value) {
    char buf[64];
    const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::general, 15);
    return std::string(buf, res.ptr);
}

bool TextToBool(const std::string& text) {
    double number = 0;
    if (TryParseFloat(text, number)) {
        return number != 0;
    }
    if (SameTextAscii(text, "True")) {
        return true;
    }
    if (SameTextAscii(text, "False")) {
        return false;
    }
    throw ESettingsError("'" + text + "' is not a valid boolean value");
}

std::int32_t LowInt32(std::int64_t value) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value));
}

// ---- locations ----------------------------------------------------------------------------

TStoreLocation CurrentStoreLocation() {
    TStoreLocation loc;
    loc.ExeDirectory = platform::ExeDirectory();
    loc.ExeDirectoryWritable = platform::FolderWritable(loc.ExeDirectory);
    // On Windows the roaming application data folder takes the place of the XDG one.
    const bool windows = platform::PathDelim == '\\';
    loc.XdgConfigHome = platform::EnvironmentVariable(windows ? "APPDATA" : "XDG_CONFIG_HOME");
    loc.Home = platform::EnvironmentVariable(windows ? "USERPROFILE" : "HOME");
    return loc;
}

std::string UserConfigFolder(const TStoreLocation& loc) {
    if (IsAbsolutePath(loc.XdgConfigHome)) {
        return WithTrailingSlash(loc.XdgConfigHome) + "fernsweep/";
    }
    if (!loc.Home.empty()) {
        return WithTrailingSlash(loc.Home) + ".config/fernsweep/";
    }
    return std::string();
}

std::string IniFilePath(const std::string& iniFileName, bool useStartUpDir,
                        const TStoreLocation& loc) {
    if (!useStartUpDir) {
        return iniFileName;
    }
    if (!loc.ExeDirectoryWritable) {
        const std::string config = UserConfigFolder(loc);
        if (!config.empty()) {
            return config + iniFileName;
        }
    }
    // Also without a configuration folder: reads still find a file shipped beside the
    // program, and a save reports that it cannot write there.
    return loc.ExeDirectory + iniFileName;
}

std::string RegistryKeyFilePath(TRegRoot root, const std::string& keyPath,
                                const std::string& subKey, const TStoreLocation& loc) {
    const std::string config = UserConfigFolder(loc);
    if (config.empty()) {
        return std::string();
    }
    std::string path = config + "registry/" + RootName(root);
    AppendKeyComponents(path, keyPath);
    AppendKeyComponents(path, subKey);
    return path + ".ini";
}

// ---- backends -----------------------------------------------------------------------------

class TStoreBackend {
public:
    virtual ~TStoreBackend() = default;
    virtual std::string ReadString(const std::string& section, const std::string& ident,
                                   const std::string& defaultValue) const = 0;
    virtual void WriteString(const std::string& section, const std::string& ident,
                             const std::string& value) = 0;
};

namespace {

class TIniBackend final : public TStoreBackend {
public:
    TIniBackend(const std::string& path, bool createFolder) : file_(path, createFolder) {}
    std::string ReadString(const std::string& section, const std::string& ident,
                           const std::string& defaultValue) const override {
        return file_.ReadString(section, ident, defaultValue);
    }
    void WriteString(const std::string& section, const std::string& ident,
                     const std::string& value) override {
        file_.WriteString(section, ident, value);
    }

private:
    TvtIniFile file_;
};

#ifdef _WIN32
// The key below its root: IniFileName, then IniSection, '\\' between the key names.
std::string RegistryKeyPath(const std::string& keyPath, const std::string& subKey) {
    std::string path;
    AppendKeyComponents(path, keyPath, '\\');
    AppendKeyComponents(path, subKey, '\\');
    return path.empty() ? path : path.substr(1);
}

// A registry key whose sub-keys are the sections, each value a REG_SZ. The keys are opened for
// each access and created by the first write, so loading never leaves an empty key behind.
// Values that another tool wrote as numbers (REG_DWORD, REG_QWORD) read as their decimal text.
class TRegistryBackend final : public TStoreBackend {
public:
    TRegistryBackend(TRegRoot root, std::string path, std::string name)
        : root_(root == rgLocalMachine ? platform::TRegistryRoot::LocalMachine
                                       : platform::TRegistryRoot::CurrentUser),
          path_(std::move(path)), name_(std::move(name)) {}
    std::string ReadString(const std::string& section, const std::string& ident,
                           const std::string& defaultValue) const override {
        const platform::TRegistryKey key =
            platform::TRegistryKey::Open(root_, SubKey(section), platform::TRegistryAccess::Read);
        return key.ReadValue(ident).value_or(defaultValue);
    }
    void WriteString(const std::string& section, const std::string& ident,
                     const std::string& value) override {
        platform::TRegistryKey key = platform::TRegistryKey::Open(
            root_, SubKey(section), platform::TRegistryAccess::ReadWrite);
        if (!key.IsOpen() || !key.WriteString(ident, value)) {
            throw ESettingsError("Unable to write to " + name_ + '\\' + section);
        }
    }

private:
    std::string SubKey(const std::string& section) const {
        return path_.empty() || section.empty() ? path_ + section : path_ + '\\' + section;
    }

    platform::TRegistryRoot root_;
    std::string path_;
    std::string name_;
};
#endif

} // namespace

// ---- the store ----------------------------------------------------------------------------

// Opens the backend for one operation and closes it on every way out.
class TvtRegVal::TOpenScope {
public:
    explicit TOpenScope(TvtRegVal& store) : store_(store), opened_(store.OpenStore()) {}
    ~TOpenScope() { store_.CloseStore(); }
    TOpenScope(const TOpenScope&) = delete;
    TOpenScope& operator=(const TOpenScope&) = delete;
    bool Opened() const { return opened_; }

private:
    TvtRegVal& store_;
    bool opened_;
};

TvtRegVal::TvtRegVal() = default;
TvtRegVal::~TvtRegVal() = default;

void TvtRegVal::SetLocationProvider(std::function<TStoreLocation()> provider) {
    location_ = std::move(provider);
}

TStoreLocation TvtRegVal::Location() const {
    return location_ ? location_() : CurrentStoreLocation();
}

namespace {

struct TBackendPlace {
    std::string path; // the file, or the registry key's full name
    bool createFolder = false;
    bool registry = false;
};

TBackendPlace PlaceOf(const TvtRegVal& store, const TStoreLocation& loc) {
    if (store.UseRegistry) {
#ifdef _WIN32
        const std::string key = RegistryKeyPath(store.IniFileName, store.IniSection);
        return {std::string(RootName(store.RegistryRoot)) + (key.empty() ? "" : "\\") + key, false,
                true};
#else
        return {RegistryKeyFilePath(store.RegistryRoot, store.IniFileName, store.IniSection, loc),
                true};
#endif
    }
    TBackendPlace place{IniFilePath(store.IniFileName, store.UseStartUpDir, loc), false};
    if (store.UseStartUpDir) {
        // Only the user's configuration folder may need creating; the program's folder exists.
        const std::string config = UserConfigFolder(loc);
        place.createFolder = !config.empty() && place.path.starts_with(config);
    }
    return place;
}

} // namespace

std::string TvtRegVal::BackendFileName() const {
    return PlaceOf(*this, Location()).path;
}

bool TvtRegVal::OpenStore() {
    CloseStore();
    try {
        const TBackendPlace place = PlaceOf(*this, Location());
        if (place.path.empty()) {
            return false;
        }
        if (place.registry) {
#ifdef _WIN32
            backend_ = std::make_unique<TRegistryBackend>(
                RegistryRoot, RegistryKeyPath(IniFileName, IniSection), place.path);
#endif
        } else {
            backend_ = std::make_unique<TIniBackend>(place.path, place.createFolder);
        }
        sectionPrefix_ = UseRegistry || IniSection.empty() ? std::string() : IniSection + '\\';
        return true;
    } catch (const std::exception&) {
        CloseStore();
        return false;
    }
}

void TvtRegVal::CloseStore() {
    backend_.reset();
    sectionPrefix_.clear();
}

std::string TvtRegVal::BackendSection(const std::string& section) const {
    return sectionPrefix_ + section;
}

void TvtRegVal::Report(const std::string& text) const {
    if (hook_) {
        hook_(text);
    }
}

void TvtRegVal::Load() {
    TOpenScope scope(*this);
    if (!scope.Opened()) {
        return;
    }
    for (size_t i = 0; i < booleans_.size(); ++i) {
        const bool value =
            ReadStoredBool(kBooleans, std::string(LineName(booleans_[i])), BooleanAt(i));
        SetBooleanAt(i, value);
    }
    for (size_t i = 0; i < floats_.size(); ++i) {
        const double value =
            ReadStoredFloat(kFloats, std::string(LineName(floats_[i])), FloatAt(i));
        SetFloatAt(i, value);
    }
    for (size_t i = 0; i < integers_.size(); ++i) {
        const std::int64_t value =
            ReadStoredInteger(kIntegers, std::string(LineName(integers_[i])), IntegerAt(i));
        SetIntegerAt(i, LowInt32(value));
    }
    for (size_t i = 0; i < strings_.size(); ++i) {
        const std::string value = ReadStoredString(kStrings, std::string(LineName(strings_[i])),
                                                   std::string(LineValue(strings_[i])));
        SetStringAt(i, value);
    }
}

void TvtRegVal::Save() {
    TOpenScope scope(*this);
    if (!scope.Opened()) {
        return;
    }
    for (size_t i = 0; i < booleans_.size(); ++i) {
        WriteStoredBool(kBooleans, std::string(LineName(booleans_[i])), BooleanAt(i));
    }
    for (size_t i = 0; i < floats_.size(); ++i) {
        WriteStoredFloat(kFloats, std::string(LineName(floats_[i])), FloatAt(i));
    }
    for (size_t i = 0; i < integers_.size(); ++i) {
        WriteStoredInteger(kIntegers, std::string(LineName(integers_[i])), IntegerAt(i));
    }
    for (size_t i = 0; i < strings_.size(); ++i) {
        WriteStoredString(kStrings, std::string(LineName(strings_[i])),
                          std::string(LineValue(strings_[i])));
    }
}

// ---- named access -------------------------------------------------------------------------

bool TvtRegVal::GetBoolean(const std::string& name) const {
    const size_t i = IndexOfNameOrThrow(booleans_, name, "Boolean");
    return LineValue(booleans_[i]) != "0";
}

void TvtRegVal::SetBoolean(const std::string& name, bool value) {
    const size_t i = IndexOfNameOrThrow(booleans_, name, "Boolean");
    booleans_[i] = name + '=' + BoolText(value);
}

std::int64_t TvtRegVal::GetInteger(const std::string& name) const {
    const size_t i = IndexOfNameOrThrow(integers_, name, "Integer");
    const std::string_view text = LineValue(integers_[i]);
    std::int64_t value = 0;
    if (!TryParseInt64(text, value)) {
        throw ESettingsError("Error in conversion of integer \"" + name + "\", Value = \"" +
                             std::string(text) + "\"");
    }
    return value;
}

void TvtRegVal::SetInteger(const std::string& name, std::int64_t value) {
    const size_t i = IndexOfNameOrThrow(integers_, name, "Integer");
    integers_[i] = name + '=' + std::to_string(value);
}

std::string TvtRegVal::GetString(const std::string& name) const {
    const size_t i = IndexOfNameOrThrow(strings_, name, "String");
    return std::string(LineValue(strings_[i]));
}

void TvtRegVal::SetString(const std::string& name, const std::string& value) {
    const size_t i = IndexOfNameOrThrow(strings_, name, "String");
    // An empty value keeps its line as name=; the entry never disappears.
    strings_[i] = name + '=' + value;
}

// ---- access by position -------------------------------------------------------------------

bool TvtRegVal::BooleanAt(size_t i) const {
    const std::string_view v = LineValue(LineAt(booleans_, i));
    return !v.empty() && v != "0";
}

double TvtRegVal::FloatAt(size_t i) const {
    const std::string_view v = LineValue(LineAt(floats_, i));
    double value = 0;
    if (!TryParseFloat(v, value)) {
        throw ESettingsError("Error in conversion of float[" + std::to_string(i) + "], Value = \"" +
                             std::string(v) + "\"");
    }
    return value;
}

std::int64_t TvtRegVal::IntegerAt(size_t i) const {
    const std::string_view v = LineValue(LineAt(integers_, i));
    std::int64_t value = 0;
    if (!TryParseInt64(v, value)) {
        throw ESettingsError("Error in conversion of integer[" + std::to_string(i) +
                             "], Value = \"" + std::string(v) + "\"");
    }
    return value;
}

void TvtRegVal::SetBooleanAt(size_t i, bool value) {
    SetValueAt(booleans_, i, BoolText(value));
}

void TvtRegVal::SetFloatAt(size_t i, double value) {
    SetValueAt(floats_, i, FloatToText(value));
}

void TvtRegVal::SetIntegerAt(size_t i, std::int64_t value) {
    SetValueAt(integers_, i, std::to_string(value));
}

void TvtRegVal::SetStringAt(size_t i, const std::string& value) {
    SetValueAt(strings_, i, value);
}

// ---- backend primitives -------------------------------------------------------------------

void TvtRegVal::WriteStoredString(const std::string& section, const std::string& ident,
                                  const std::string& text) {
    if (backend_) {
        backend_->WriteString(BackendSection(section), ident, text);
    }
}

void TvtRegVal::WriteStoredBool(const std::string& section, const std::string& ident, bool value) {
    WriteStoredString(section, ident, BoolText(value));
}

void TvtRegVal::WriteStoredFloat(const std::string& section, const std::string& ident,
                                 double value) {
    WriteStoredString(section, ident, FloatToText(value));
}

void TvtRegVal::WriteStoredInteger(const std::string& section, const std::string& ident,
                                   std::int64_t value) {
    WriteStoredString(section, ident, std::to_string(value));
}

std::string TvtRegVal::ReadStoredString(const std::string& section, const std::string& ident,
                                        const std::string& defaultValue) const {
    if (!backend_) {
        return std::string();
    }
    return backend_->ReadString(BackendSection(section), ident, defaultValue);
}

bool TvtRegVal::ReadStoredBool(const std::string& section, const std::string& ident,
                               bool defaultValue) const {
    const std::string text = ReadStoredString(section, ident, std::string());
    return text.empty() ? defaultValue : TextToBool(text);
}

double TvtRegVal::ReadStoredFloat(const std::string& section, const std::string& ident,
                                  double defaultValue) const {
    const std::string text = ReadStoredString(section, ident, std::string());
    if (text.empty()) {
        return defaultValue;
    }
    double value = 0;
    if (!TryParseFloat(text, value)) {
        Report("Error reading Float value \"" + section + '\\' + ident + "\". Value = \"" + text +
               "\". Value set to " + FloatToText(defaultValue));
        return defaultValue;
    }
    return value;
}

std::int64_t TvtRegVal::ReadStoredInteger(const std::string& section, const std::string& ident,
                                          std::int64_t defaultValue) const {
    const std::string text = ReadStoredString(section, ident, std::string());
    if (text.empty()) {
        return defaultValue;
    }
    std::int64_t value = 0;
    if (!TryParseInt64(text, value)) {
        Report("Error reading Integer value \"" + section + '\\' + ident + "\". Value = \"" + text +
               "\". Value set to " + std::to_string(defaultValue));
        return defaultValue;
    }
    return value;
}

// ---- window placement ---------------------------------------------------------------------

void TvtRegVal::SaveFormPlacement(const TPlacementTarget& target) {
    TPlacementRect r;
    if (!target.GetNormalBounds(r)) {
        return;
    }
    TOpenScope scope(*this); // without a backend the writes below do nothing
    const std::string section = target.Name();
    WriteStoredInteger(section, "Left", r.Left);
    WriteStoredInteger(section, "Top", r.Top);
    WriteStoredInteger(section, "Width", std::int64_t{r.Right} - r.Left);
    WriteStoredInteger(section, "Height", std::int64_t{r.Bottom} - r.Top);
    WriteStoredInteger(section, "WinState", static_cast<std::int32_t>(target.WindowState()));
}

void TvtRegVal::RestoreFormPlacement(TPlacementTarget& target, bool withSize) {
    TOpenScope scope(*this); // without a backend every read gives its default
    const std::string section = target.Name();
    const std::int32_t none = static_cast<std::int32_t>(kNoPlacementValue);
    const std::int32_t left = LowInt32(ReadStoredInteger(section, "Left", kNoPlacementValue));
    const std::int32_t top = LowInt32(ReadStoredInteger(section, "Top", kNoPlacementValue));
    const std::int32_t width = LowInt32(ReadStoredInteger(section, "Width", kNoPlacementValue));
    const std::int32_t height = LowInt32(ReadStoredInteger(section, "Height", kNoPlacementValue));
    const std::int32_t state = LowInt32(ReadStoredInteger(section, "WinState", -1));

    const auto applyBounds = [&] {
        if (left != none) {
            target.SetLeft(left);
        }
        if (top != none) {
            target.SetTop(top);
        }
        if (withSize) {
            if (width != none) {
                target.SetWidth(width);
            }
            if (height != none) {
                target.SetHeight(height);
            }
        }
    };
    if (state == -1) {
        applyBounds();
    } else if (state == wsNormal) {
        target.SetWindowState(wsNormal);
        applyBounds();
    } else {
        // The rectangle goes in first so that leaving the maximized state returns to it.
        applyBounds();
        target.SetWindowState(static_cast<TWindowState>(state));
    }
}

} // namespace settings
