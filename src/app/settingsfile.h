#pragma once
// The settings file tools.ini: an own reader and writer of the classic
// private-profile ("INI") layout, because the file is shared with the old
// habits of the weighbridge PCs: Windows-1251 text, section and key names
// that match whatever their letter case, and keys that are replaced where
// they stand instead of the whole file being rewritten in a new order.

#include <QString>

class IniFile
{
public:
    // Longest value handed out by readString(); longer values are cut.
    static constexpr int MaxValueLength = 2047;

    explicit IniFile(QString path);

    const QString &path() const { return m_path; }

    // The value of key in section, without the blanks around it, without a
    // pair of enclosing quotes (" or ') and cut to MaxValueLength characters.
    // Names match without regard to letter case; when a name occurs more than
    // once, the first occurrence counts. Lines end in CR LF, LF or CR alone.
    // A missing file, section or key, a file that cannot be read, and one
    // that is no settings file (over 1 MB, or not a regular file) give
    // defaultValue. A key that is present with an empty value gives "".
    QString readString(const QString &section, const QString &key, const QString &defaultValue) const;

    // Stores value under key in section. An existing key keeps its line (only
    // its value changes), a missing key is added after the last line of its
    // section, a missing section is added at the end, a missing file is
    // created. Every other line stays byte for byte, and so do the file's line
    // ends (new files get CR LF). Line breaks inside value become blanks, and
    // characters that Windows-1251 lacks become "?".
    // The new file replaces the old one in one rename: a failed or interrupted
    // write leaves the previous file whole. Only when the folder admits no new
    // file is a writable file rewritten in place.
    // Throws Failure("Unable to write to <path>") when the file cannot be
    // read back or written, and leaves a file that is no settings file as it is.
    void writeString(const QString &section, const QString &key, const QString &value);

private:
    QString m_path;
};

// The five settings of section "Tool", as texts.
struct SettingsValues
{
    QString com;   // "COM": serial port name
    QString speed; // "Speed": port speed name
    QString wi;    // "WI": indicator model
    QString open;  // "open": "1" when the port is switched on at start
    QString izmer; // "izmer": weight unit

    bool operator==(const SettingsValues &) const = default;
};

// programDir + "/tools.ini"
QString settingsFilePath(const QString &programDir);

// Reads the five settings; each missing one is a single blank " ".
SettingsValues LoadSettings(const QString &programDir);

// Writes "izmer", "COM", "Speed", "wi", "open" in this order, each key as one
// complete file write. The first key that cannot be written throws Failure;
// the keys before it stay written.
void SaveSettings(const QString &programDir, const SettingsValues &values);

// "backups" in section "Tool": how many of the program's daily database
// copies to keep, today's included; 0 makes none. A missing key, or a text
// that is no whole number from 0 on, gives the default.
constexpr int DefaultBackupCount = 14;
int LoadBackupCount(const QString &programDir);
