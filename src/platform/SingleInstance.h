// One wizard per user: the first instance listens on a per-user local socket
// named after the wizard's mark; a later one connects, asks the first to show
// and raise its window, and steps back.
#pragma once

#include <QString>

#include <functional>
#include <memory>

class QLocalServer;

namespace PLATFORM {

class CSingleInstance {
public:
    // The wizard's mark: the value of the Windows window property "NorvexSetup".
    static constexpr int kWizardMark = 201801;

    CSingleInstance();
    ~CSingleInstance();
    CSingleInstance(const CSingleInstance&) = delete;
    CSingleInstance& operator=(const CSingleInstance&) = delete;

    // The socket's full name: "NorvexSetup-201801-<uid>" in the private
    // temporary folder (Qt's default place when that folder is unusable).
    static QString ServerName();

    // True when this process is now the first instance. False when another
    // one answered: it has been asked to show itself, and this one should end
    // without a word. A socket left behind by a crashed instance is taken over.
    bool Claim();
    bool IsClaimed() const;

    // Called (from the event loop) when a later instance asks to be shown.
    void SetShowRequestHandler(std::function<void()> handler);

    // Stops listening and removes the socket.
    void Release();

private:
    bool AskRunningInstanceToShow(const QString& name);

    std::unique_ptr<QLocalServer> m_server;
    std::shared_ptr<std::function<void()>> m_handler;
};

}  // namespace PLATFORM
