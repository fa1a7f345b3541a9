// The installer window against a temporary HOME, XDG folders and settings
// scopes: an installation in English, the uninstallation of it, the French
// window, and pictures of each.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

#include "install/forminstall.h"
#include "platform/version.h"
#include "support.h"
#include "ui_forminstall.h"

namespace {

QByteArray IniBytes(const QList<QStringList>& sections) {
    QByteArray b;
    for (const QStringList& s : sections) {
        const quint32 n = static_cast<quint32>(s.size());
        for (int i = 0; i < 4; ++i) b.append(static_cast<char>((n >> (8 * i)) & 0xff));
        for (const QString& l : s) b += l.toUtf8() + '\n';
    }
    return b;
}

void Save(QWidget* w, const QString& name) {
    QDir().mkpath(VANTOR_SHOTS_DIR);
    QVERIFY(w->grab().save(QString(VANTOR_SHOTS_DIR) + "/" + name));
}

}  // namespace

class FormInstallTest : public QObject {
    Q_OBJECT
    QTemporaryDir dir_;
    QString home_, product_;

    QString Path(const QString& rel) const { return dir_.path() + "/" + rel; }
    static void UseLanguage(const char* lang) {
        qunsetenv("LC_ALL");
        qunsetenv("LC_MESSAGES");
        qputenv("LANG", lang);
    }
    QSettings Machine() const {
        return QSettings(QSettings::NativeFormat, QSettings::SystemScope, "Morvane", "registry");
    }

private slots:
    void initTestCase() {
        vantor::systemWide = 0;  // the user's folders, here under the scratch HOME
        home_ = Path("home");
        QDir().mkpath(home_);
        QDir().mkpath(Path("src"));
        qputenv("HOME", home_.toUtf8());
        qputenv("XDG_DATA_HOME", Path("home/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", Path("home/config").toUtf8());
        UseTemporarySettings(Path("settings"));
        QVERIFY(QFile::copy(VANTOR_CLI_PATH, Path("src/vantor-cli")));
        QFile keep(home_ + "/keep.txt");
        QVERIFY(keep.open(QIODevice::WriteOnly));
        keep.write("mine");
        keep.close();
        QFile ini(Path("src/install.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(IniBytes({{"Bienvenue dans Vantor"}, {"Welcome to Vantor"}, {"vantor-cli"},
                            {"Vantor=vantor-cli --help"}, {}}));
        ini.close();
        QVERIFY(QDir::setCurrent(Path("src")));
        product_ = QString::fromStdString(TVersion(VANTOR_CLI_PATH).productName);
        QVERIFY(!product_.isEmpty());
    }

    void installInEnglishThenQuit() {
        UseLanguage("en_GB.UTF-8");
        installMode = true;
        TFormInstall form(VANTOR_CLI_PATH);
        Ui::TFormInstall* ui = form.Form();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        QVERIFY(ui->MemoEnglish->isVisible());
        QVERIFY(!ui->MemoFrench->isVisible());
        QCOMPARE(ui->ButtonInstaller->text(), QString("Install"));
        QCOMPARE(ui->MemoEnglish->toPlainText(), QString("Welcome to Vantor"));
        QCOMPARE(ui->MemoFrench->toPlainText(), QString("Bienvenue dans Vantor"));
        const QString folder = ui->Repertoire->text();
        QCOMPARE(folder, home_ + "/.local/opt/" + product_);
        Save(&form, "installer-before.png");

        ui->ButtonInstaller->click();
        QCOMPARE(ui->ButtonInstaller->text(), QString("Quit"));
        QVERIFY2(ui->MemoEnglish->toPlainText().endsWith("Installation finished"),
                 qPrintable(ui->MemoEnglish->toPlainText()));
        QVERIFY(QFileInfo(folder + "/vantor-cli").isExecutable());
        const QString entry = Path("home/data/applications/") + product_ + "/Vantor.desktop";
        QVERIFY(QFile::exists(entry));
        QCOMPARE(QProcess::execute("desktop-file-validate", {entry}), 0);
        QCOMPARE(Machine().value("Software/Morvane/" + product_ + "/Program").toString(), folder);
        QCOMPARE(Machine().value("Software/Morvane/" + product_ + "/French").toInt(), 0);
        Save(&form, "installer-after.png");
        ui->ButtonInstaller->click();
        QVERIFY(!form.isVisible());
    }

    void updateNoticeThenFrenchButtons() {
        UseLanguage("fr_FR.UTF-8");
        installMode = true;
        TFormInstall form(VANTOR_CLI_PATH);
        Ui::TFormInstall* ui = form.Form();
        QCOMPARE(ui->ButtonInstaller->text(), QString("Installer"));
        QVERIFY(ui->MemoFrench->toPlainText().endsWith("Veillez à ce que " + product_ + " soit arrêté."));
        QVERIFY(ui->MemoEnglish->toPlainText().contains("Update from the version Version="));
        ui->RadioEnglish->click();
        QCOMPARE(ui->ButtonInstaller->text(), QString("Install"));
        QCOMPARE(ui->GroupBox1->title(), QString("Folders"));
        ui->RadioFrench->click();
        QCOMPARE(ui->ButtonCancel->text(), QString("Annuler"));
    }

    void uninstallRemovesEverything() {
        UseLanguage("en_US.UTF-8");
        installMode = false;
        TFormInstall form(VANTOR_CLI_PATH);
        Ui::TFormInstall* ui = form.Form();
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString folder = ui->Repertoire->text();
        QVERIFY2(folder.startsWith(home_ + "/"), qPrintable(folder));  // the record of the installation above
        QCOMPARE(form.windowTitle(), QString("Desinstallation"));
        QCOMPARE(ui->ButtonInstaller->text(), QString("Uninstall"));
        QVERIFY(!ui->ButtonParcourirMenu->isVisible());
        QVERIFY(ui->MemoEnglish->toPlainText().startsWith("You are uninstalling " + product_));
        Save(&form, "installer-uninstall.png");
        ui->ButtonInstaller->click();
        QVERIFY(ui->Menu->isReadOnly());
        QCOMPARE(ui->ButtonInstaller->text(), QString("Quit"));
        QVERIFY(!QFile::exists(folder));
        QVERIFY(!QFile::exists(Path("home/data/applications/") + product_));
        QVERIFY(!Machine().contains("Software/Morvane/" + product_ + "/Program"));
        QVERIFY(QFile::exists(home_ + "/keep.txt"));
        QVERIFY(QFile::exists(Path("src/vantor-cli")));
        Save(&form, "installer-uninstalled.png");
    }

    // The program itself: "-uninstall" copies itself and install.ini to the
    // temporary folder and becomes that copy, started with "-uninstall2".
    void uninstallRestartsFromTheTemporaryFolder() {
        QDir().mkpath(Path("inst"));
        QDir().mkpath(Path("tmp"));
        QVERIFY(QFile::copy(VANTOR_WINDOW_PATH, Path("inst/vantor")));
        QVERIFY(QFile::copy(Path("src/install.ini"), Path("inst/install.ini")));
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("TMPDIR", Path("tmp"));
        env.insert("QT_QPA_PLATFORM", "offscreen");
        // The copy's settings scopes stay in the scratch folder too.
        env.insert("XDG_CONFIG_DIRS", Path("sysconfig"));
        p.setProcessEnvironment(env);
        p.start(Path("inst/vantor"), {"-uninstall"});
        QVERIFY(p.waitForStarted());
        const QString cmdline = QString("/proc/%1/cmdline").arg(p.processId());
        QByteArray args;
        for (int i = 0; i < 100 && !args.contains("-uninstall2"); ++i) {
            QTest::qWait(50);
            QFile f(cmdline);
            if (f.open(QIODevice::ReadOnly)) args = f.readAll();
        }
        QCOMPARE(args, (Path("tmp/vantor") + QChar(0) + "-uninstall2" + QChar(0)).toUtf8());
        QCOMPARE(QFileInfo(QString("/proc/%1/cwd").arg(p.processId())).symLinkTarget(), Path("tmp"));
        QVERIFY(QFileInfo(Path("tmp/vantor")).isExecutable());
        QFile copied(Path("tmp/install.ini")), original(Path("src/install.ini"));
        QVERIFY(copied.open(QIODevice::ReadOnly) && original.open(QIODevice::ReadOnly));
        QCOMPARE(copied.readAll(), original.readAll());
        p.kill();
        p.waitForFinished();
    }
};

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    FormInstallTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "forminstall_test.moc"
