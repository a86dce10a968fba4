// Shared pieces of the update tests: the local HTTP/HTTPS server (a Python
// program started per test), the test authority and certificates made with
// openssl, a package carrying a real companion installer, and recorders for the progress display, message
// boxes and the wizard window.
#pragma once

#include "support/Process.h"
#include "support/Recorders.h"
#include "support/Sandbox.h"

#include "app/MessageBox.h"
#include "update/DownloadProgress.h"
#include "update/HttpDownload.h"
#include "update/WizardWindow.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>
#include <QTcpSocket>

#include <gtest/gtest.h>

#include <cstdlib>
#include <deque>
#include <map>
#include <vector>

namespace UPDATETEST {

// Certificates of make_certs.sh, each served on its own TLS port.
inline const QStringList kCertificates = {"good", "wrongname", "expired", "selfsigned"};

// The folder of the test authority and certificates, made once per process.
inline QString MakeCertificates()
{
    const QString folder = TESTS::SandboxPath("certs");
    if (QFile::exists(folder + "/ca.pem"))
        return folder;
    QDir().mkpath(folder);
    const int rc = QProcess::execute("sh", {TESTS::TestDataPath("update/make_certs.sh"), folder});
    EXPECT_EQ(rc, 0) << "make_certs.sh failed";
    return folder;
}

// The Python server of test_server.py serving SandboxPath("www") on 127.0.0.1.
class CTestServer {
public:
    explicit CTestServer(bool withTls = false)
    {
        QDir().mkpath(Root());
        QStringList args{TESTS::TestDataPath("update/test_server.py"), Root()};
        if (withTls) {
            const QString certs = MakeCertificates();
            for (const QString& name : kCertificates)
                args << QStringLiteral("%1=%2/%1.pem:%2/%1.key").arg(name, certs);
        }
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(Python(), args);
        if (!m_process.waitForStarted(30000)) {
            ADD_FAILURE() << "the test server did not start";
            return;
        }
        while (!m_process.canReadLine() && m_process.waitForReadyRead(30000)) {
        }
        const QJsonObject ports = QJsonDocument::fromJson(m_process.readLine()).object();
        m_port = ports.value("http").toInt();
        const QJsonObject tls = ports.value("tls").toObject();
        for (auto it = tls.begin(); it != tls.end(); ++it)
            m_tlsPorts[it.key()] = it.value().toInt();
        EXPECT_NE(m_port, 0) << "the test server reported no port";
    }
    ~CTestServer()
    {
        m_process.closeWriteChannel();
        if (!m_process.waitForFinished(10000)) {
            m_process.kill();
            m_process.waitForFinished(10000);
        }
    }
    CTestServer(const CTestServer&) = delete;
    CTestServer& operator=(const CTestServer&) = delete;

    static QString Root() { return TESTS::SandboxPath("www"); }
    static QString Python()
    {
        const QString python = QStandardPaths::findExecutable("python3");
        return python.isEmpty() ? QStringLiteral("python3") : python;
    }

    int Port() const { return m_port; }
    // path starts with '/'.
    QString Url(const QString& path) const
    {
        return QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path);
    }
    QString TlsUrl(const QString& certificate, const QString& path) const
    {
        return QStringLiteral("https://127.0.0.1:%1%2").arg(m_tlsPorts.at(certificate)).arg(path);
    }

    // A file below the served root.
    void Serve(const QString& path, const QByteArray& bytes) const
    {
        TESTS::WriteFileBytes(Root() + path, bytes);
    }

    // What the server saw, read over a plain socket so as not to depend on
    // the code under test.
    QJsonObject Stats() const
    {
        QTcpSocket socket;
        socket.connectToHost("127.0.0.1", quint16(m_port));
        if (!socket.waitForConnected(10000)) {
            ADD_FAILURE() << "no connection to the test server";
            return {};
        }
        socket.write("GET /stats HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n");
        QByteArray answer;
        while (socket.waitForReadyRead(10000))
            answer += socket.readAll();
        answer += socket.readAll();
        return QJsonDocument::fromJson(answer.mid(answer.indexOf("\r\n\r\n") + 4)).object();
    }
    // Requests for path (all paths when empty) since the server started.
    int RequestCount(const QString& path = QString()) const
    {
        int count = 0;
        for (const QJsonValue& request : Stats().value("requests").toArray())
            if (path.isEmpty() || request.toObject().value("path").toString() == path)
                ++count;
        return count;
    }
    QStringList UserAgents() const
    {
        QStringList agents;
        for (const QJsonValue& request : Stats().value("requests").toArray())
            agents << request.toObject().value("ua").toString();
        return agents;
    }
    // Body bytes sent for path; -1 when no body was started.
    qint64 BodyBytesSent(const QString& path) const
    {
        const QJsonValue value = Stats().value("body_sent").toObject().value(path);
        return value.isUndefined() ? -1 : qint64(value.toDouble());
    }

private:
    QProcess m_process;
    int m_port = 0;
    std::map<QString, int> m_tlsPorts;
};

// Records what a download shows; presses Cancel once cancelAt bytes arrived
// (never when negative) or at the start of the display titled cancelTitle.
class CRecordingProgress : public CDownloadProgress {
public:
    void Start(const QString& title) override
    {
        starts << title;
        if (!cancelTitle.isEmpty() && title == cancelTitle)
            m_cancelled = true;
    }
    void SetCancelMessage(const QString& text) override { cancelMessage = text; }
    void SetLine(int line, const QString& text) override
    {
        if (line == 1)
            line1 << text;
        else
            line2 << text;
    }
    void SetProgress(qint64 done, qint64 total) override
    {
        progress.push_back({done, total});
        if (cancelAt >= 0 && done >= cancelAt)
            m_cancelled = true;
    }
    bool HasUserCancelled() override { return m_cancelled; }
    void Stop() override { ++stops; }

    qint64 cancelAt = -1;
    QString cancelTitle;
    QStringList starts;
    QString cancelMessage;
    QStringList line1;
    QStringList line2;
    std::vector<std::pair<qint64, qint64>> progress;
    int stops = 0;

private:
    bool m_cancelled = false;
};

// The online parts' questions and messages come without a caption of their own.
class CRecordingMessageBox : public TESTS::CRecordingMessageBox {
public:
    CRecordingMessageBox() : TESTS::CRecordingMessageBox(Captions::None) {}
};

// The wizard window as a list of what was asked of it.
class CRecordingWindow : public CWizardWindow {
public:
    void BeginWaitCursor() override { events << "begin-wait"; }
    void RestoreWaitCursor() override { events << "restore-wait"; }
    void EndWaitCursor() override { events << "end-wait"; }
    void CloseWizard() override { events << "close"; }
    void HideWizard() override { events << "hide"; }
    void ShowWizard() override { events << "show"; }
    QStringList events;
};

// A package whose two companion entries carry a real companion installer,
// made with the project's packer (packer) at packagePath: "tessaly_vl.exe" is
// a shell script that copies the "Setup.cab" beside it to seenPackage and,
// when records, writes InstallPath and Version 5.21.1625.36 with norvex-reg
// (reg); "tessaly_Setup.cab" holds companionCab. True when it was made.
inline bool MakeCompanionPackage(const QString& packer, const QString& reg, const QString& packagePath,
                                 const QString& seenPackage, const QByteArray& companionCab, bool records,
                                 bool withInstaller = true)
{
    const QString source = TESTS::SandboxPath("companion-src");
    QByteArray script = "#!/bin/sh\n"
                        "here=$(dirname \"$0\")\n"
                        "cp \"$here/Setup.cab\" '" + seenPackage.toUtf8() + "' 2>/dev/null\n"
                        "sleep 1\n";
    if (records)
        script += "'" + reg.toUtf8() + "' add 'HKCU\\Software\\Tessaly\\Tessaly' --value InstallPath --data '"
            + TESTS::SandboxPath("opt/Tessaly/").toUtf8() + "'\n'" + reg.toUtf8()
            + "' add 'HKCU\\Software\\Tessaly\\Tessaly' --value Version --data 5.21.1625.36\n";
    TESTS::WriteFileBytes(source + "/companion.sh", script);
    TESTS::WriteFileBytes(source + "/companion.cab", companionCab);
    QByteArray files =
        "<file name=\"tessaly_Setup.cab\" path=\"$intallpath$\" pack=\"companion.cab\" action=\"nodw\"/>";
    if (withInstaller)
        files +=
            "<file name=\"tessaly_vl.exe\" path=\"$intallpath$\" pack=\"companion.sh\" action=\"nodw\"/>";
    TESTS::WriteFileBytes(
        source + "/Install.xml",
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<install>"
        "<version prog=\"Label Print\" clsid=\"5C7E0D52-3A4F-4B8E-9F11-2B6C0E4D7A19\" ver=\"1.0\"/>"
        "<info><prog>LabelPrint</prog><tessaly>1</tessaly></info><files>"
            + files + "</files></install>\n");
    const TESTS::ProcessResult packed = TESTS::RunProcess(
        packer, {"build", "--manifest", source + "/Install.xml", "--source", source, "-o", packagePath});
    EXPECT_EQ(packed.exitCode, 0) << packed.err.toStdString();
    return packed.exitCode == 0;
}

// Every test talks to 127.0.0.1 directly unless it sets a proxy itself.
inline void ClearProxyEnvironment()
{
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy",
                             "ALL_PROXY", "no_proxy", "NO_PROXY", kTestCaFileVariable})
        unsetenv(name);
}

// Names in a folder, hidden ones included.
inline QStringList FolderEntries(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::Dirs
                                  | QDir::NoDotAndDotDot);
}

}  // namespace UPDATETEST
