// The settings file: what LoadSettings reads from tools.ini, and what the file
// holds byte for byte after IniFile::writeString and SaveSettings.

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTest>

#include <csignal>
#include <optional>
#include <linux/capability.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/settingsfile.h"
#include "filesizelimit.h"
#include "programfolder.h"
#include "common/failure.h"

namespace {

QByteArray cp1251(const QString &text)
{
    QStringEncoder encoder("windows-1251");
    return encoder.encode(text);
}

QStringList fields(const SettingsValues &v)
{
    return {v.com, v.speed, v.wi, v.open, v.izmer};
}

const QString NoValue = QStringLiteral("<none>");

// Permissions count for this thread while this lives, even for root: the
// override of file permissions is taken out of its effective capabilities
// (and given back at the end). Without root it changes nothing.
class PermissionsCount
{
public:
    PermissionsCount()
    {
        if (syscall(SYS_capget, &m_header, m_saved) != 0)
            return;
        __user_cap_data_struct reduced[2] = {m_saved[0], m_saved[1]};
        reduced[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH) | (1u << CAP_FOWNER));
        m_active = syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~PermissionsCount()
    {
        if (m_active)
            syscall(SYS_capset, &m_header, m_saved);
    }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_saved[2]{};
    bool m_active = false;
};

// LoadSettings run in a child process, so that a read that never ends (a
// device that never runs dry, a pipe nobody writes) fails the test instead
// of hanging it. The child may use 256 MB at most. Empty when it hung or died.
std::optional<QStringList> loadInChild(const QString &programDir)
{
    int fds[2];
    if (pipe(fds) != 0)
        return std::nullopt;
    const pid_t child = fork();
    if (child == 0) {
        close(fds[0]);
        rlimit limit{256 << 20, 256 << 20};
        setrlimit(RLIMIT_DATA, &limit);
        const SettingsValues v = LoadSettings(programDir);
        const QByteArray out = QStringList{v.com, v.speed, v.wi, v.open, v.izmer}.join(u'\n').toUtf8();
        const bool written = write(fds[1], out.constData(), size_t(out.size())) == out.size();
        _exit(written ? 0 : 1);
    }
    close(fds[1]);
    QByteArray out;
    pollfd p{fds[0], POLLIN, 0};
    bool hung = false;
    for (;;) {
        if (poll(&p, 1, 10000) <= 0) {
            hung = true;
            break;
        }
        char buffer[4096];
        const ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        out.append(buffer, n);
    }
    close(fds[0]);
    if (hung)
        kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    if (hung || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return std::nullopt;
    return QString::fromUtf8(out).split(u'\n');
}

} // namespace

class TestSettingsFile final : public QObject
{
    Q_OBJECT

private slots:
    void read_data();
    void read();
    void readWithoutFile();
    void valueLengthCap_data();
    void valueLengthCap();
    void load_data();
    void load();
    void write_data();
    void write();
    void saveCreatesFileInWrittenOrder();
    void saveReplacesKeysInPlace();
    void cyrillicRoundTrip();
    void unwritableFile_data();
    void unwritableFile();
    void failedKeyKeepsEarlierKeys();
    void folderAdmitsNoNewFile();
    void noSettingsFile_data();
    void noSettingsFile();
};

void TestSettingsFile::read_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << "[Tool]\r\nCOM=com1\r\n" << "COM" << "com1";
    QTest::newRow("missing key") << "[Tool]\r\nCOM=com1\r\n" << "Speed" << NoValue;
    QTest::newRow("key lower case") << "[Tool]\r\nwi=WI2002\r\n" << "WI" << "WI2002";
    QTest::newRow("key mixed case") << "[Tool]\r\nwI=WI2002\r\n" << "WI" << "WI2002";
    QTest::newRow("key upper case, asked lower") << "[Tool]\r\nWI=WI2002\r\n" << "wi" << "WI2002";
    QTest::newRow("section upper case") << "[TOOL]\r\nCOM=com1\r\n" << "COM" << "com1";
    QTest::newRow("section lower case") << "[tool]\r\nCOM=com1\r\n" << "COM" << "com1";
    QTest::newRow("blanks around value") << "[Tool]\r\nCOM = \t com3 \t \r\n" << "COM" << "com3";
    QTest::newRow("blanks inside value kept")
        << "[Tool]\r\nWI=Libra v.1_25 укомпл.  часами \r\n" << "WI" << "Libra v.1_25 укомпл.  часами";
    QTest::newRow("indented lines") << "  [Tool]  \r\n  COM=com1\r\n" << "COM" << "com1";
    QTest::newRow("empty value is not missing") << "[Tool]\r\nopen=\r\n" << "open" << "";
    QTest::newRow("blank value") << "[Tool]\r\nopen=   \r\n" << "open" << "";
    QTest::newRow("equals sign in value") << "[Tool]\r\nCOM=a=b\r\n" << "COM" << "a=b";
    QTest::newRow("key of another section") << "[Print]\r\nCOM=com1\r\n[Tool]\r\nopen=1\r\n" << "COM" << NoValue;
    QTest::newRow("key before any section") << "COM=com1\r\n[Tool]\r\n" << "COM" << NoValue;
    QTest::newRow("comment line") << "[Tool]\r\n;COM=com1\r\n" << "COM" << NoValue;
    QTest::newRow("line without equals sign") << "[Tool]\r\nCOM\r\n" << "COM" << NoValue;
    QTest::newRow("first of two keys") << "[Tool]\r\nCOM=com1\r\ncom=com2\r\n" << "COM" << "com1";
    QTest::newRow("key in repeated section") << "[Tool]\r\nCOM=com1\r\n[Print]\r\n[tool]\r\nopen=1" << "open" << "1";
    QTest::newRow("LF line ends") << "[Tool]\nCOM=com1\nopen=1\n" << "open" << "1";
    QTest::newRow("CR line ends") << "[Tool]\rCOM=com1\ropen=1\r" << "open" << "1";
    QTest::newRow("CR line ends, first key") << "[Tool]\rCOM=com1\ropen=1" << "COM" << "com1";
    QTest::newRow("double quotes") << "[Tool]\r\nCOM=\"com4\"\r\n" << "COM" << "com4";
    QTest::newRow("single quotes") << "[Tool]\r\nCOM='com4'\r\n" << "COM" << "com4";
    QTest::newRow("blanks inside quotes kept") << "[Tool]\r\nCOM = \" com4 \" \r\n" << "COM" << " com4 ";
    QTest::newRow("empty quotes") << "[Tool]\r\nopen=\"\"\r\n" << "open" << "";
    QTest::newRow("a lone quote") << "[Tool]\r\nCOM=\"\r\n" << "COM" << "\"";
    QTest::newRow("quotes that do not match") << "[Tool]\r\nCOM=\"com4'\r\n" << "COM" << "\"com4'";
    QTest::newRow("quotes inside") << "[Tool]\r\nCOM=a\"b\"\r\n" << "COM" << "a\"b\"";
    QTest::newRow("no line end at the end") << "[Tool]\r\nCOM=com1" << "COM" << "com1";
    QTest::newRow("Cyrillic value") << "[Tool]\r\nizmer=тонны\r\n" << "izmer" << "тонны";
    QTest::newRow("empty file") << "" << "COM" << NoValue;
}

void TestSettingsFile::read()
{
    QFETCH(QString, content);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    ProgramFolder folder(content);
    QCOMPARE(IniFile(folder.toolsIniPath()).readString("Tool", key, NoValue), expected);
}

void TestSettingsFile::readWithoutFile()
{
    ProgramFolder folder;
    QCOMPARE(IniFile(folder.toolsIniPath()).readString("Tool", "COM", NoValue), NoValue);

    // A folder where the file should be cannot be read either: the default again.
    QVERIFY(QDir(folder.path()).mkdir("tools.ini"));
    QCOMPARE(IniFile(folder.toolsIniPath()).readString("Tool", "COM", NoValue), NoValue);
}

void TestSettingsFile::valueLengthCap_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<int>("expectedLength");

    QTest::newRow("2046") << QString(2046, u'x') << 2046;
    QTest::newRow("2047") << QString(2047, u'x') << 2047;
    QTest::newRow("2048") << QString(2048, u'x') << 2047;
    QTest::newRow("5000") << QString(5000, u'x') << 2047;
    QTest::newRow("blanks do not count") << "   " + QString(2047, u'x') + "   " << 2047;
}

void TestSettingsFile::valueLengthCap()
{
    QFETCH(QString, value);
    QFETCH(int, expectedLength);

    ProgramFolder folder("[Tool]\r\nCOM=" + value + "\r\nopen=1\r\n");
    const IniFile ini(folder.toolsIniPath());
    const QString read = ini.readString("Tool", "COM", NoValue);
    QCOMPARE(read.size(), expectedLength);
    QCOMPARE(read, value.trimmed().left(expectedLength));
    // The key after a long value is still found.
    QCOMPARE(ini.readString("Tool", "open", NoValue), "1");
}

void TestSettingsFile::load_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QString>("content");
    QTest::addColumn<QStringList>("expected"); // COM, Speed, WI, open, izmer

    QTest::newRow("no file") << false << "" << QStringList{" ", " ", " ", " ", " "};
    QTest::newRow("empty file") << true << "" << QStringList{" ", " ", " ", " ", " "};
    QTest::newRow("all five, as the program writes them")
        << true << "[Tool]\r\nizmer=тонны\r\nCOM=com2\r\nSpeed=br19200\r\nwi=WI2002\r\nopen=1\r\n"
        << QStringList{"com2", "br19200", "WI2002", "1", "тонны"};
    QTest::newRow("model key in upper case")
        << true << "[Tool]\r\nWI=Libra v.2_10 двухканальная\r\n"
        << QStringList{" ", " ", "Libra v.2_10 двухканальная", " ", " "};
    QTest::newRow("some keys missing")
        << true << "[Tool]\r\nCOM=com1\r\nizmer=кг\r\n" << QStringList{"com1", " ", " ", " ", "кг"};
    QTest::newRow("empty values stay empty")
        << true << "[Tool]\r\nCOM=\r\nopen=\r\n" << QStringList{"", " ", " ", "", " "};
    QTest::newRow("keys of another section ignored")
        << true << "[Other]\r\nCOM=com4\r\nopen=1\r\n" << QStringList{" ", " ", " ", " ", " "};
}

void TestSettingsFile::load()
{
    QFETCH(bool, withFile);
    QFETCH(QString, content);
    QFETCH(QStringList, expected);

    ProgramFolder folder;
    if (withFile)
        folder.writeToolsIni(content);
    QCOMPARE(fields(LoadSettings(folder.path())), expected);
    // Reading never creates the file.
    QCOMPARE(QFileInfo::exists(folder.toolsIniPath()), withFile);
}

void TestSettingsFile::write_data()
{
    QTest::addColumn<bool>("withFile");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("after");
    QTest::addColumn<QString>("readBack");

    QTest::newRow("new file") << false << "" << "COM" << "com1" << "[Tool]\r\nCOM=com1\r\n" << "com1";
    QTest::newRow("empty file") << true << "" << "COM" << "com1" << "[Tool]\r\nCOM=com1\r\n" << "com1";
    QTest::newRow("replaced in its place")
        << true << "[Tool]\r\nCOM=com1\r\nSpeed=br9600\r\nopen=0\r\n" << "Speed" << "br1200"
        << "[Tool]\r\nCOM=com1\r\nSpeed=br1200\r\nopen=0\r\n" << "br1200";
    QTest::newRow("replaced key keeps its spelling")
        << true << "[tool]\r\nWI=Libra v.1_24\r\n" << "wi" << "WI2002" << "[tool]\r\nWI=WI2002\r\n" << "WI2002";
    QTest::newRow("blanks around the old value go")
        << true << "[Tool]\r\n  COM =  com1  \r\n" << "COM" << "com2" << "[Tool]\r\nCOM=com2\r\n" << "com2";
    QTest::newRow("added at the end of its section")
        << true << "[Tool]\r\nCOM=com1\r\n\r\n[Print]\r\ncopies=2\r\n" << "open" << "1"
        << "[Tool]\r\nCOM=com1\r\nopen=1\r\n\r\n[Print]\r\ncopies=2\r\n" << "1";
    QTest::newRow("same key of another section untouched")
        << true << "[Print]\r\nopen=x\r\n[Tool]\r\nCOM=com1\r\n" << "open" << "1"
        << "[Print]\r\nopen=x\r\n[Tool]\r\nCOM=com1\r\nopen=1\r\n" << "1";
    QTest::newRow("empty section") << true << "[Tool]\r\n[Print]\r\n" << "COM" << "com1"
                                   << "[Tool]\r\nCOM=com1\r\n[Print]\r\n" << "com1";
    QTest::newRow("new section at the end")
        << true << "[Print]\r\ncopies=2\r\n" << "COM" << "com1" << "[Print]\r\ncopies=2\r\n[Tool]\r\nCOM=com1\r\n"
        << "com1";
    QTest::newRow("no line end at the end, key added")
        << true << "[Tool]\r\nCOM=com1" << "open" << "1" << "[Tool]\r\nCOM=com1\r\nopen=1\r\n" << "1";
    QTest::newRow("no line end at the end, key replaced")
        << true << "[Tool]\r\nCOM=com1" << "COM" << "com2" << "[Tool]\r\nCOM=com2" << "com2";
    QTest::newRow("no line end at the end, section added")
        << true << "[Print]\r\ncopies=2" << "COM" << "com1" << "[Print]\r\ncopies=2\r\n[Tool]\r\nCOM=com1\r\n"
        << "com1";
    QTest::newRow("LF file stays LF") << true << "[Tool]\nCOM=com1\n" << "open" << "1"
                                      << "[Tool]\nCOM=com1\nopen=1\n" << "1";
    QTest::newRow("CR file stays CR") << true << "[Tool]\rCOM=com1\r" << "open" << "1"
                                      << "[Tool]\rCOM=com1\ropen=1\r" << "1";
    QTest::newRow("CR file, key replaced") << true << "[Tool]\rCOM=com1\ropen=0\r" << "COM" << "com2"
                                           << "[Tool]\rCOM=com2\ropen=0\r" << "com2";
    QTest::newRow("LF file, new section")
        << true << "[Print]\ncopies=2\n" << "COM" << "com1" << "[Print]\ncopies=2\n[Tool]\nCOM=com1\n" << "com1";
    QTest::newRow("each line keeps its line end")
        << true << "[Tool]\r\nCOM=com1\nopen=0\r\n" << "COM" << "com2" << "[Tool]\r\nCOM=com2\nopen=0\r\n"
        << "com2";
    QTest::newRow("comments and stray lines kept")
        << true << "; весы\r\n[Tool]\r\n;COM=com9\r\nCOM=com1\r\nмусор\r\n" << "COM" << "com3"
        << "; весы\r\n[Tool]\r\n;COM=com9\r\nCOM=com3\r\nмусор\r\n" << "com3";
    QTest::newRow("key in a repeated section replaced where it is read")
        << true << "[Tool]\r\nCOM=com1\r\n[TOOL]\r\nopen=0\r\n" << "open" << "1"
        << "[Tool]\r\nCOM=com1\r\n[TOOL]\r\nopen=1\r\n" << "1";
    QTest::newRow("blanks of a value are written")
        << true << "[Tool]\r\n" << "COM" << " com1 " << "[Tool]\r\nCOM= com1 \r\n" << "com1";
    QTest::newRow("line breaks in a value cannot add keys")
        << true << "[Tool]\r\nopen=0\r\n" << "COM" << "com1\r\n[Evil]\nopen=1"
        << "[Tool]\r\nopen=0\r\nCOM=com1  [Evil] open=1\r\n" << "com1  [Evil] open=1";
    QTest::newRow("character outside the code page")
        << false << "" << "izmer" << "т ✓" << "[Tool]\r\nizmer=т ?\r\n" << "т ?";
}

void TestSettingsFile::write()
{
    QFETCH(bool, withFile);
    QFETCH(QString, before);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, after);
    QFETCH(QString, readBack);

    ProgramFolder folder;
    if (withFile)
        folder.writeToolsIni(before);
    IniFile ini(folder.toolsIniPath());
    ini.writeString("Tool", key, value);
    QCOMPARE(folder.toolsIniBytes(), cp1251(after));
    QCOMPARE(ini.readString("Tool", key, NoValue), readBack);
    // The replacement went through a rename: nothing else is left in the folder.
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"tools.ini"});
}

void TestSettingsFile::saveCreatesFileInWrittenOrder()
{
    ProgramFolder folder;
    SaveSettings(folder.path(), {"com1", "br9600", "WI2002", "1", "кг"});
    QCOMPARE(folder.toolsIniBytes(),
             cp1251("[Tool]\r\nizmer=кг\r\nCOM=com1\r\nSpeed=br9600\r\nwi=WI2002\r\nopen=1\r\n"));
}

void TestSettingsFile::saveReplacesKeysInPlace()
{
    ProgramFolder folder("; weighbridge 2\r\n"
                         "[Print]\r\n"
                         "copies=2\r\n"
                         "\r\n"
                         "[Tool]\r\n"
                         "open=0\r\n"
                         "Speed=br1200\r\n"
                         "extra=keep me\r\n"
                         "Wi=Libra v.1_24\r\n"
                         "COM=com1\r\n"
                         "\r\n"
                         "[Other]\r\n"
                         "izmer=not ours\r\n");
    SaveSettings(folder.path(), {"com3", "br115200", "Libra v.1_25 укомпл. часами", "1", "тонны"});
    QCOMPARE(folder.toolsIni(),
             QString("; weighbridge 2\r\n"
                     "[Print]\r\n"
                     "copies=2\r\n"
                     "\r\n"
                     "[Tool]\r\n"
                     "open=1\r\n"
                     "Speed=br115200\r\n"
                     "extra=keep me\r\n"
                     "Wi=Libra v.1_25 укомпл. часами\r\n"
                     "COM=com3\r\n"
                     "izmer=тонны\r\n"
                     "\r\n"
                     "[Other]\r\n"
                     "izmer=not ours\r\n"));
    const SettingsValues loaded = LoadSettings(folder.path());
    QCOMPARE(fields(loaded), QStringList({"com3", "br115200", "Libra v.1_25 укомпл. часами", "1", "тонны"}));
}

void TestSettingsFile::cyrillicRoundTrip()
{
    ProgramFolder folder;
    const SettingsValues saved{"com2", "br4800", "Libra v.2_10 двухканальная", "0", "тонны"};
    SaveSettings(folder.path(), saved);

    // The file holds Windows-1251 bytes, one per letter.
    const QByteArray bytes = folder.toolsIniBytes();
    QVERIFY2(bytes.contains("izmer=\xF2\xEE\xED\xED\xFB\r\n"), bytes.toHex(' ').constData());
    QVERIFY(bytes.contains("wi=Libra v.2_10 \xE4\xE2\xF3\xF5\xEA\xE0\xED\xE0\xEB\xFC\xED\xE0\xFF\r\n"));

    QCOMPARE(fields(LoadSettings(folder.path())), fields(saved));
}

void TestSettingsFile::unwritableFile_data()
{
    QTest::addColumn<bool>("fileIsFolder");
    QTest::newRow("tools.ini is a folder") << true;
    QTest::newRow("program folder missing") << false;
}

void TestSettingsFile::unwritableFile()
{
    QFETCH(bool, fileIsFolder);

    ProgramFolder folder;
    QString programDir = folder.path();
    if (fileIsFolder)
        QVERIFY(QDir(programDir).mkdir("tools.ini"));
    else
        programDir += "/missing";

    try {
        SaveSettings(programDir, {"com1", "br9600", "WI2002", "1", "кг"});
        QFAIL("SaveSettings did not fail");
    } catch (const Failure &failure) {
        QCOMPARE(failure.message(), "Unable to write to " + programDir + "/tools.ini");
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             fileIsFolder ? QStringList{"tools.ini"} : QStringList{});
}

void TestSettingsFile::failedKeyKeepsEarlierKeys()
{
    const QString before = "[Tool]\r\nCOM=com1\r\nSpeed=br9600\r\nwi=Libra v.1_24\r\nopen=0\r\nizmer=кг\r\n";
    ProgramFolder folder(before);
    // The speed text is too long for the space left: the third key fails.
    const SettingsValues wanted{"com2", QString(3000, u'9'), "WI2002", "1", "тонны"};
    {
        FileSizeLimit limit(1024);
        try {
            SaveSettings(folder.path(), wanted);
            QFAIL("SaveSettings did not fail");
        } catch (const Failure &failure) {
            QCOMPARE(failure.message(), "Unable to write to " + folder.toolsIniPath());
        }
    }
    // "izmer" and "COM" went before "Speed"; "Speed", "wi" and "open" are as they were,
    // and the file is whole, with no temporary file left beside it.
    QCOMPARE(folder.toolsIni(),
             QString("[Tool]\r\nCOM=com2\r\nSpeed=br9600\r\nwi=Libra v.1_24\r\nopen=0\r\nizmer=тонны\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"tools.ini"});
}

void TestSettingsFile::folderAdmitsNoNewFile()
{
    ProgramFolder folder("[Tool]\r\nCOM=com1\r\nopen=0\r\n");
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup
                                                     | QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    {
        PermissionsCount asAnOperator;
        QVERIFY2(!QFile(folder.filePath("probe")).open(QIODevice::WriteOnly), "the folder still admits files");
        try {
            SaveSettings(folder.path(), {"com2", "br9600", "WI2002", "1", "кг"});
        } catch (const Failure &failure) {
            QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            QFAIL(qPrintable(failure.message()));
        }
    }
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    QCOMPARE(folder.toolsIni(), QString("[Tool]\r\nCOM=com2\r\nopen=1\r\nizmer=кг\r\nSpeed=br9600\r\nwi=WI2002\r\n"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{"tools.ini"});
}

void TestSettingsFile::noSettingsFile_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("readable");

    QTest::newRow("exactly 1 MB is read") << "1048576" << true;
    QTest::newRow("over 1 MB") << "1048577" << false;
    QTest::newRow("link to /dev/zero") << "/dev/zero" << false;
    QTest::newRow("a pipe") << "fifo" << false;
}

// tools.ini that is no settings file reads as absent and is never written.
void TestSettingsFile::noSettingsFile()
{
    QFETCH(QString, kind);
    QFETCH(bool, readable);

    ProgramFolder folder;
    const QByteArray path = QFile::encodeName(folder.toolsIniPath());
    QByteArray before;
    if (kind == "fifo") {
        QCOMPARE(mkfifo(path.constData(), 0644), 0);
    } else if (kind.startsWith(u'/')) {
        QVERIFY(QFile::link(kind, folder.toolsIniPath()));
    } else {
        before = "[Tool]\r\nCOM=com4\r\n";
        before += QByteArray(kind.toInt() - before.size() - 2, ';') + "\r\n";
        QVERIFY(folder.writeFile("tools.ini", before));
    }

    const std::optional<QStringList> loaded = loadInChild(folder.path());
    QVERIFY2(loaded, "reading tools.ini did not end, or failed");
    QCOMPARE(*loaded, readable ? QStringList({"com4", " ", " ", " ", " "}) : QStringList({" ", " ", " ", " ", " "}));
    if (readable)
        return;

    try {
        SaveSettings(folder.path(), {"com1", "br9600", "WI2002", "1", "кг"});
        QFAIL("SaveSettings did not fail");
    } catch (const Failure &failure) {
        QCOMPARE(failure.message(), "Unable to write to " + folder.toolsIniPath());
    }
    const QFileInfo after(folder.toolsIniPath());
    if (kind == "fifo")
        QVERIFY(!after.isFile() && after.exists());
    else if (kind.startsWith(u'/'))
        QCOMPARE(after.symLinkTarget(), kind);
    else
        QCOMPARE(folder.toolsIniBytes(), before);
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System),
             QStringList{"tools.ini"});
}

QTEST_GUILESS_MAIN(TestSettingsFile)
#include "test_settingsfile.moc"
