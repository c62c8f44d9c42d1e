// The registry store and the file writer as Windows runs them: every case
// here only makes sense on Windows and is skipped elsewhere.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

#include "platform/runtimeerror.h"
#include "platform/savefile.h"
#include "platform/settingsstore.h"

#ifdef Q_OS_WIN
#include <aclapi.h>
#include <windows.h>
#endif

using namespace vantelo;

namespace {

// The registry's value types and key rights, which the tables name on every
// system.
constexpr int kSz = 1, kExpandSz = 2, kBinary = 3, kDword = 4, kMultiSz = 7;
constexpr int kQueryValue = 1, kSetValue = 2;

QByteArray utf16(const QString& text, bool terminated = true) {
    return QByteArray(reinterpret_cast<const char*>(text.utf16()),
                      (text.size() + (terminated ? 1 : 0)) * 2);
}

}  // namespace

class WindowsStoreTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void theSystemStoreIsTheOriginalKey();
    void valuesWrittenByReg_data();
    void valuesWrittenByReg();
    void hostileValues_data();
    void hostileValues();
    void textsRoundTrip_data();
    void textsRoundTrip();
    void keyPermissions_data();
    void keyPermissions();
    void saves_data();
    void saves();
    void folders_data();
    void folders();
};

#ifdef Q_OS_WIN
namespace {

// Tests never touch the key of a real user's design.
const QString kTestRoot = QStringLiteral("Software\\Tarnwick Vantelo Tests");
QString testKey;

std::wstring wide(const QString& text) {
    return text.toStdWString();
}

// Writes a value of any type with any bytes, as another program might.
void setRaw(const QString& name, DWORD type, const QByteArray& data) {
    HKEY key = nullptr;
    QCOMPARE(::RegCreateKeyExW(HKEY_CURRENT_USER, wide(testKey).c_str(), 0, nullptr, 0,
                               KEY_SET_VALUE, nullptr, &key, nullptr),
             ERROR_SUCCESS);
    QCOMPARE(::RegSetValueExW(key, wide(name).c_str(), 0, type,
                              reinterpret_cast<const BYTE*>(data.constData()), DWORD(data.size())),
             ERROR_SUCCESS);
    ::RegCloseKey(key);
}

QByteArray rawValue(const QString& name, DWORD* type) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, wide(testKey).c_str(), 0, KEY_QUERY_VALUE, &key) != 0)
        return "<no key>";
    DWORD size = 0;
    ::RegQueryValueExW(key, wide(name).c_str(), nullptr, type, nullptr, &size);
    QByteArray data(size, '\0');
    ::RegQueryValueExW(key, wide(name).c_str(), nullptr, type, reinterpret_cast<BYTE*>(data.data()),
                       &size);
    ::RegCloseKey(key);
    return data;
}

// Sets the key's access list: `denied` is refused to the user, or everything
// is allowed with 0.
void denyOnKey(DWORD denied) {
    HKEY key = nullptr;
    ::RegCreateKeyExW(HKEY_CURRENT_USER, wide(testKey).c_str(), 0, nullptr, 0, WRITE_DAC, nullptr,
                      &key, nullptr);
    QVERIFY(key != nullptr);
    PACL acl = nullptr;
    if (denied != 0) {
        EXPLICIT_ACCESSW rules[2] = {};
        wchar_t user[] = L"CURRENT_USER";
        rules[0].grfAccessPermissions = denied;
        rules[0].grfAccessMode = DENY_ACCESS;
        rules[1].grfAccessPermissions = KEY_ALL_ACCESS;
        rules[1].grfAccessMode = GRANT_ACCESS;
        for (EXPLICIT_ACCESSW& rule : rules) {
            rule.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
            rule.Trustee.ptstrName = user;
        }
        QCOMPARE(::SetEntriesInAclW(2, rules, nullptr, &acl), DWORD(ERROR_SUCCESS));
    }
    QCOMPARE(::SetSecurityInfo(key, SE_REGISTRY_KEY,
                               DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                               nullptr, nullptr, acl, nullptr),
             DWORD(ERROR_SUCCESS));
    ::LocalFree(acl);
    ::RegCloseKey(key);
}

int raisedBy(const std::function<void()>& work) {
    try {
        work();
    } catch (const RuntimeError& e) {
        return e.number();
    }
    return 0;
}

// A file system that only says whether a file is there: the writer itself has
// to find out that a file turned read-only or was locked after the check.
class PlainFileSystem final : public FileSystem {
public:
    int attributes(const QString&) override { return AttrNormal; }
    bool isRootFolder(const QString&) override { return false; }
    void readFolder(const QString&, const QString&, FolderVisitor&) override {}
    QStringList findFiles(const QString&, const QString&) override { return {}; }
    bool canOpen(const QString&) override { return true; }
    bool exists(const QString&) override { return true; }
    SaveTarget saveTarget(const QString& path) override {
        SaveTarget target;
        target.path = path;
        const DWORD attributes =
            ::GetFileAttributesW(wide(QDir::toNativeSeparators(QStringLiteral("\\\\?\\") +
                                                               QFileInfo(path).absoluteFilePath()))
                                     .c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            target.kind =
                (attributes & FILE_ATTRIBUTE_DIRECTORY) ? SaveTarget::Folder : SaveTarget::File;
        return target;
    }
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

}  // namespace
#endif

void WindowsStoreTest::init() {
#ifdef Q_OS_WIN
    testKey = kTestRoot + QLatin1Char('\\') +
              QString::number(QRandomGenerator::global()->generate64(), 36);
#else
    QSKIP("the registry and the Windows file functions exist only on Windows");
#endif
}

void WindowsStoreTest::cleanup() {
#ifdef Q_OS_WIN
    denyOnKey(0);
    ::RegDeleteTreeW(HKEY_CURRENT_USER, wide(testKey).c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, wide(testKey).c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, wide(kTestRoot).c_str());
#endif
}

void WindowsStoreTest::theSystemStoreIsTheOriginalKey() {
#ifdef Q_OS_WIN
    const auto store = makeSystemSettingsStore();
    const auto* registry = dynamic_cast<const RegistrySettingsStore*>(store.get());
    QVERIFY(registry != nullptr);
    QCOMPARE(registry->keyPath(),
             QStringLiteral("Software\\VB and VBA Program Settings\\Tarnwick\\Vantelo"));
#endif
}

void WindowsStoreTest::valuesWrittenByReg_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("data");
    QTest::addColumn<QString>("expected");  // null: the default applies
    QTest::newRow("flag") << "REG_SZ"
                          << "True"
                          << "True";
    QTest::newRow("number") << "REG_SZ"
                            << "1755"
                            << "1755";
    QTest::newRow("empty") << "REG_SZ" << QString() << "";
    QTest::newRow("path with blanks") << "REG_SZ"
                                      << "C:\\Users\\Ann Lee\\logos\\tarnwick.gif"
                                      << "C:\\Users\\Ann Lee\\logos\\tarnwick.gif";
    QTest::newRow("outside the ANSI code page")
        << "REG_SZ" << QStringLiteral("Кофейня «Ёж» 漢字") << QStringLiteral("Кофейня «Ёж» 漢字");
    QTest::newRow("number as DWORD") << "REG_DWORD"
                                     << "1" << QString();
    QTest::newRow("expandable") << "REG_EXPAND_SZ"
                                << "%TEMP%\\x.gif" << QString();
    QTest::newRow("list") << "REG_MULTI_SZ"
                          << "a\\0b" << QString();
    QTest::newRow("binary") << "REG_BINARY"
                            << "54727565" << QString();
}

void WindowsStoreTest::valuesWrittenByReg() {
#ifdef Q_OS_WIN
    QFETCH(QString, type);
    QFETCH(QString, data);
    QFETCH(QString, expected);
    // As the original program's users find it in their registry.
    QCOMPARE(QProcess::execute(
                 QStringLiteral("reg"),
                 {QStringLiteral("add"), QStringLiteral("HKCU\\") + testKey, QStringLiteral("/v"),
                  QStringLiteral("TextLine1 Bold"), QStringLiteral("/t"), type,
                  QStringLiteral("/d"), data, QStringLiteral("/f")}),
             0);
    RegistrySettingsStore store(testKey);
    QVERIFY(store.unreadableNotice().isEmpty());
    const QString fallback = QStringLiteral("<default>");
    QCOMPARE(store.GetSetting(QStringLiteral("TextLine1 Bold"), fallback),
             expected.isNull() ? fallback : expected);
    QCOMPARE(store.GetSetting(QStringLiteral("textline1 bold"), fallback),
             expected.isNull() ? fallback : expected);
#endif
}

void WindowsStoreTest::hostileValues_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("expected");  // null: the default applies
    QTest::newRow("as written") << kSz << utf16(QStringLiteral("True")) << "True";
    QTest::newRow("no terminating NUL") << kSz << utf16(QStringLiteral("True"), false) << "True";
    QTest::newRow("odd length") << kSz << utf16(QStringLiteral("True"), false) + 'x' << "True";
    QTest::newRow("text after a NUL") << kSz << utf16(QString::fromUtf16(u"ab\0cd", 5)) << "ab";
    QTest::newRow("no data") << kSz << QByteArray() << "";
    QTest::newRow("largest setting") << kSz << utf16(QString((1 << 19) - 1, QLatin1Char('y')))
                                     << QString((1 << 19) - 1, QLatin1Char('y'));
    QTest::newRow("10 MB") << kSz << utf16(QString(5 << 20, QLatin1Char('z'))) << QString();
    QTest::newRow("DWORD") << kDword << QByteArray("\1\0\0\0", 4) << QString();
    QTest::newRow("binary") << kBinary << utf16(QStringLiteral("True")) << QString();
    QTest::newRow("expandable") << kExpandSz << utf16(QStringLiteral("True")) << QString();
    QTest::newRow("list") << kMultiSz << utf16(QString::fromUtf16(u"True\0", 5)) << QString();
}

void WindowsStoreTest::hostileValues() {
#ifdef Q_OS_WIN
    QFETCH(int, type);
    QFETCH(QByteArray, data);
    QFETCH(QString, expected);
    const QString name = QStringLiteral("TextLine0");
    setRaw(name, DWORD(type), data);
    setRaw(QStringLiteral("Other"), REG_SZ, utf16(QStringLiteral("kept")));
    RegistrySettingsStore store(testKey);
    const QString fallback = QStringLiteral("<default>");
    QCOMPARE(store.GetSetting(name, fallback), expected.isNull() ? fallback : expected);
    // A bad value gives way to the next write, and only it.
    store.SaveSetting(name, QStringLiteral("new"));
    DWORD written = REG_NONE;
    QCOMPARE(rawValue(name, &written), utf16(QStringLiteral("new")));
    QCOMPARE(written, DWORD(REG_SZ));
    QCOMPARE(store.GetSetting(QStringLiteral("Other"), fallback), QStringLiteral("kept"));
#endif
}

void WindowsStoreTest::textsRoundTrip_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::newRow("outside the ANSI code page")
        << "TextLine0" << QStringLiteral("Ünïcødé ☃ 漢字 \U0001F600 שלום");
    QTest::newRow("empty") << "TextLine0" << QString();
    QTest::newRow("line breaks and blanks") << "TextLine0" << QStringLiteral("  one\r\ntwo\t ");
    QTest::newRow("serialised-looking") << "TextLine0" << QStringLiteral("@Variant(\\0\\0)");
    QTest::newRow("long") << "TextLine0" << QString(40000, QLatin1Char('w'));
    QTest::newRow("backslash in name") << "Image\\Left"
                                       << "2925";
    QTest::newRow("longest name") << QString(16383, QLatin1Char('n')) << "x";
}

void WindowsStoreTest::textsRoundTrip() {
#ifdef Q_OS_WIN
    QFETCH(QString, name);
    QFETCH(QString, text);
    {
        // A key that is not there yet is a first start, not a failure.
        RegistrySettingsStore store(testKey);
        QVERIFY(store.unreadableNotice().isEmpty());
        store.SaveSetting(name, text);
        QCOMPARE(store.GetSetting(name, QStringLiteral("x")), text);
    }
    QCOMPARE(RegistrySettingsStore(testKey).GetSetting(name, QStringLiteral("x")), text);
    // One REG_SZ with its NUL, as the original program wrote it.
    DWORD type = REG_NONE;
    QCOMPARE(rawValue(name, &type), utf16(text));
    QCOMPARE(type, DWORD(REG_SZ));
#endif
}

void WindowsStoreTest::keyPermissions_data() {
    QTest::addColumn<int>("denied");
    QTest::addColumn<bool>("notice");
    QTest::addColumn<QString>("read");
    QTest::addColumn<int>("sameWrite");
    QTest::addColumn<int>("newWrite");
    const int query = kQueryValue, set = kSetValue;
    QTest::newRow("readable and writable") << 0 << false << "old" << 0 << 0;
    QTest::newRow("read-only key") << set << false << "old" << 0 << int(ErrPermissionDenied);
    QTest::newRow("key without read permission") << query << true << "<default>" << 0 << 0;
    QTest::newRow("closed key") << (query | set) << true << "<default>" << int(ErrPermissionDenied)
                                << int(ErrPermissionDenied);
}

void WindowsStoreTest::keyPermissions() {
#ifdef Q_OS_WIN
    QFETCH(int, denied);
    QFETCH(bool, notice);
    QFETCH(QString, read);
    QFETCH(int, sameWrite);
    QFETCH(int, newWrite);
    setRaw(QStringLiteral("Image"), REG_SZ, utf16(QStringLiteral("old")));
    denyOnKey(DWORD(denied));
    RegistrySettingsStore store(testKey);
    QCOMPARE(store.unreadableNotice().contains(QStringLiteral("HKEY_CURRENT_USER\\") + testKey),
             notice);
    QCOMPARE(store.GetSetting(QStringLiteral("Image"), QStringLiteral("<default>")), read);
    // An unchanged value is not written, so a read-only key takes it.
    QCOMPARE(raisedBy([&] { store.SaveSetting(QStringLiteral("Image"), QStringLiteral("old")); }),
             sameWrite);
    QCOMPARE(raisedBy([&] { store.SaveSetting(QStringLiteral("Image"), QStringLiteral("new")); }),
             newWrite);
    denyOnKey(0);
    DWORD type = REG_NONE;
    QCOMPARE(rawValue(QStringLiteral("Image"), &type),
             utf16(newWrite == 0 ? QStringLiteral("new") : QStringLiteral("old")));
    QCOMPARE(raisedBy([&] { store.SaveSetting(QString(16384, QLatin1Char('n')), QString()); }),
             int(ErrBadFileName));
#endif
}

void WindowsStoreTest::saves_data() {
    QTest::addColumn<QString>("name");  // below the test's folder
    QTest::addColumn<QString>("hold");  // what is done to an old file first
    QTest::addColumn<int>("failure");
    const QString longFolder = QString(120, QLatin1Char('f')) + QLatin1Char('/') +
                               QString(120, QLatin1Char('g')) + QLatin1Char('/');
    QTest::newRow("new file") << "logo.bmp"
                              << "none" << int(SaveFailure::None);
    QTest::newRow("replaced file") << "logo.bmp"
                                   << "old" << int(SaveFailure::None);
    QTest::newRow("hidden file stays hidden") << "logo.bmp"
                                              << "hidden" << int(SaveFailure::None);
    QTest::newRow("read-only file") << "logo.bmp"
                                    << "read-only" << int(SaveFailure::AccessDenied);
    QTest::newRow("locked file") << "logo.bmp"
                                 << "locked" << int(SaveFailure::AccessDenied);
    QTest::newRow("open elsewhere, not deletable") << "logo.bmp"
                                                   << "shared" << int(SaveFailure::None);
    QTest::newRow("outside the ANSI code page")
        << QStringLiteral("логотип 漢字 ☃.bmp") << "old" << int(SaveFailure::None);
    QTest::newRow("path of 260 characters and more")
        << longFolder + QString(40, QLatin1Char('h')) + QStringLiteral(".bmp") << "old"
        << int(SaveFailure::None);
    QTest::newRow("name too long") << QString(252, QLatin1Char('n')) + QStringLiteral(".bmp")
                                   << "none" << int(SaveFailure::NameTooLong);
    QTest::newRow("device") << "CON"
                            << "none" << int(SaveFailure::BadName);
    QTest::newRow("device with extension") << "nul.bmp"
                                           << "none" << int(SaveFailure::BadName);
    QTest::newRow("port") << "Com1 .jpg"
                          << "none" << int(SaveFailure::BadName);
    QTest::newRow("question mark") << "logo?.bmp"
                                   << "none" << int(SaveFailure::BadName);
    QTest::newRow("stream") << "logo.bmp:hidden"
                            << "none" << int(SaveFailure::BadName);
    QTest::newRow("trailing dot") << "logo.bmp."
                                  << "none" << int(SaveFailure::BadName);
    QTest::newRow("missing folder") << "gone/logo.bmp"
                                    << "none" << int(SaveFailure::FolderNotFound);
    QTest::newRow("long path, missing folder") << longFolder + QStringLiteral("gone/logo.bmp")
                                               << "none" << int(SaveFailure::FolderNotFound);
}

void WindowsStoreTest::saves() {
#ifdef Q_OS_WIN
    QFETCH(QString, name);
    QFETCH(QString, hold);
    QFETCH(int, failure);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    const std::wstring native = wide(QStringLiteral("\\\\?\\") +
                                     QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()));
    if (failure != int(SaveFailure::FolderNotFound))
        QDir().mkpath(QFileInfo(path).absolutePath());
    const QString folder = QFileInfo(path).absolutePath();
    // Longer than the new contents, so that a file written in place must be cut.
    const QByteArray old(100000, 'o');
    HANDLE holder = INVALID_HANDLE_VALUE;
    if (hold != QLatin1String("none")) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    if (hold == QLatin1String("hidden") || hold == QLatin1String("read-only"))
        QVERIFY(::SetFileAttributesW(native.c_str(), hold == QLatin1String("hidden")
                                                         ? FILE_ATTRIBUTE_HIDDEN
                                                         : FILE_ATTRIBUTE_READONLY));
    if (hold == QLatin1String("locked") || hold == QLatin1String("shared")) {
        holder =
            ::CreateFileW(native.c_str(), GENERIC_READ,
                          hold == QLatin1String("locked") ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE,
                          nullptr, OPEN_EXISTING, 0, nullptr);
        QVERIFY(holder != INVALID_HANDLE_VALUE);
    }
    const QStringList before = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    const QByteArray bytes(70000, 'n');
    PlainFileSystem fileSystem;
    const SaveFailure result = writeFileAtomically(
        path, [&bytes] { return &bytes; }, fileSystem);
    if (holder != INVALID_HANDLE_VALUE)
        ::CloseHandle(holder);
    QCOMPARE(int(result), failure);
    // Nothing is left behind, and the old file is whole: old or new.
    QStringList after = QDir(folder).entryList(QDir::Files | QDir::Hidden);
    if (failure == int(SaveFailure::None) && hold == QLatin1String("none"))
        after.removeOne(QFileInfo(path).fileName());
    QCOMPARE(after, before);
    if (failure == int(SaveFailure::None))
        QCOMPARE(contents(path), bytes);
    else if (hold != QLatin1String("none"))
        QCOMPARE(contents(path), old);
    if (hold == QLatin1String("hidden"))
        QVERIFY(::GetFileAttributesW(native.c_str()) & FILE_ATTRIBUTE_HIDDEN);
    ::SetFileAttributesW(native.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

void WindowsStoreTest::folders_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("failure");
    QTest::newRow("new") << "kit" << int(SaveFailure::None);
    QTest::newRow("already there") << "." << int(SaveFailure::None);
    QTest::newRow("file in the way") << "file" << int(SaveFailure::NotAFolder);
    QTest::newRow("parent missing") << "gone/kit" << int(SaveFailure::FolderNotFound);
    QTest::newRow("device") << "aux" << int(SaveFailure::BadName);
    QTest::newRow("path of 260 characters and more")
        << QString(200, QLatin1Char('f')) + QLatin1Char('/') + QString(100, QLatin1Char('k'))
        << int(SaveFailure::None);
}

void WindowsStoreTest::folders() {
#ifdef Q_OS_WIN
    QFETCH(QString, name);
    QFETCH(int, failure);
    QTemporaryDir dir;
    QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
    QDir(dir.path()).mkdir(QString(200, QLatin1Char('f')));
    const QString folder = dir.filePath(name);
    QCOMPARE(int(makeFolderForFiles(folder)), failure);
    QCOMPARE(QFileInfo(folder).isDir(), failure == int(SaveFailure::None));
#endif
}

QTEST_GUILESS_MAIN(WindowsStoreTest)
#include "test_windowsstore.moc"
