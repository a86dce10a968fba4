#include "platform/SingleInstance.h"

#include "platform/SpecialFolders.h"

#include <QLocalServer>
#include <QLocalSocket>

#include <sys/un.h>
#include <unistd.h>

namespace PLATFORM {

namespace {

constexpr char kShowRequest[] = "show\n";
constexpr int kConnectTimeoutMs = 2000;

}  // namespace

CSingleInstance::CSingleInstance() : m_handler(std::make_shared<std::function<void()>>()) {}

CSingleInstance::~CSingleInstance()
{
    Release();
}

QString CSingleInstance::ServerName()
{
    const QString name = QStringLiteral("NorvexSetup-%1-%2").arg(kWizardMark).arg(quint64(::getuid()));
    const QString folder = TempFolder();
    // A socket path must fit sockaddr_un; Qt's own place is the fallback.
    const QString full = folder + name;
    if (folder.isEmpty() || full.toLocal8Bit().size() >= qsizetype(sizeof(sockaddr_un::sun_path)))
        return name;
    return full;
}

bool CSingleInstance::AskRunningInstanceToShow(const QString& name)
{
    QLocalSocket socket;
    socket.connectToServer(name);
    if (!socket.waitForConnected(kConnectTimeoutMs))
        return false;
    socket.write(kShowRequest);
    socket.waitForBytesWritten(kConnectTimeoutMs);
    socket.disconnectFromServer();
    return true;
}

bool CSingleInstance::Claim()
{
    if (m_server)
        return true;
    const QString name = ServerName();
    if (AskRunningInstanceToShow(name))
        return false;

    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server->listen(name)) {
        // Nobody answered, so whatever is there is a leftover of a crashed run.
        QLocalServer::removeServer(name);
        if (!server->listen(name))
            return true;  // Cannot coordinate; running alone is better than not at all.
    }
    std::shared_ptr<std::function<void()>> handler = m_handler;
    QLocalServer* raw = server.get();
    QObject::connect(raw, &QLocalServer::newConnection, raw, [raw, handler]() {
        while (QLocalSocket* client = raw->nextPendingConnection()) {
            QObject::connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
            auto readRequest = [client, handler]() {
                if (client->readAll().contains("show") && *handler)
                    (*handler)();
            };
            QObject::connect(client, &QLocalSocket::readyRead, client, readRequest);
            if (client->bytesAvailable() > 0)
                readRequest();
        }
    });
    m_server = std::move(server);
    return true;
}

bool CSingleInstance::IsClaimed() const
{
    return m_server != nullptr;
}

void CSingleInstance::SetShowRequestHandler(std::function<void()> handler)
{
    *m_handler = std::move(handler);
}

void CSingleInstance::Release()
{
    if (m_server) {
        m_server->close();
        m_server.reset();
    }
}

}  // namespace PLATFORM
