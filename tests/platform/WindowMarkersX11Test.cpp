// Window markers against a real X server (one Xvfb per test case, no window
// manager): a helper program shows a labelled window; the finder, the close
// request and the label setter act on it.
#include "platform/WindowMarkers.h"

#include <QByteArray>
#include <QProcess>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include <xcb/xcb.h>

using namespace PLATFORM;

namespace {

constexpr int kWait = 60000;  // generous: only a guard against hangs

// One running marker window program.
class MarkerWindow {
public:
    MarkerWindow(std::int32_t label, int depth = 0)
    {
        process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process_.start(QStringLiteral(NORVEX_MARKER_WINDOW),
                       {QString::number(label), QString::number(depth)});
        while (!process_.canReadLine() && process_.state() != QProcess::NotRunning)
            process_.waitForReadyRead(kWait);
        id_ = process_.readLine().trimmed().toUInt();
    }
    ~MarkerWindow()
    {
        if (process_.state() != QProcess::NotRunning) {
            process_.kill();
            process_.waitForFinished(kWait);
        }
    }
    std::uint32_t id() const { return id_; }
    QProcess& process() { return process_; }

private:
    QProcess process_;
    std::uint32_t id_ = 0;
};

class WindowMarkersTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(std::getenv("DISPLAY"), nullptr) << "run under Xvfb"; }
};

TEST_F(WindowMarkersTest, FindsTheWindowWithTheMatchingLabelOnly)
{
    MarkerWindow product(201801);
    MarkerWindow other(7);
    MarkerWindow negative(-5);
    ASSERT_NE(product.id(), 0u);
    ASSERT_NE(other.id(), 0u);
    ASSERT_NE(negative.id(), 0u);

    const struct {
        std::int32_t label;
        std::uint32_t expected;
    } cases[] = {
        {201801, product.id()}, {7, other.id()}, {-5, negative.id()}, {201802, 0}, {5, 0}, {0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        EXPECT_EQ(FindWindowByLabel(c.label), c.expected);
    }
    EXPECT_TRUE(WindowExists(product.id()));
}

TEST_F(WindowMarkersTest, NothingFoundBeforeAnyWindowIsLabelled)
{
    EXPECT_EQ(FindWindowByLabel(201801), 0u);
}

TEST_F(WindowMarkersTest, FindsClientWindowInsideAFrame)
{
    MarkerWindow framed(201801, 1);
    ASSERT_NE(framed.id(), 0u);
    EXPECT_EQ(FindWindowByLabel(201801), framed.id());
}

// Sets the root's _NET_CLIENT_LIST as an EWMH window manager would.
void PublishClientList(const std::vector<xcb_window_t>& clients)
{
    xcb_connection_t* c = xcb_connect(nullptr, nullptr);
    ASSERT_EQ(xcb_connection_has_error(c), 0);
    const char name[] = "_NET_CLIENT_LIST";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, sizeof name - 1, name), nullptr);
    ASSERT_NE(atom, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
    xcb_generic_error_t* error = xcb_request_check(
        c,
        xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, root, atom->atom, XCB_ATOM_WINDOW, 32,
                                    static_cast<uint32_t>(clients.size()), clients.data()));
    EXPECT_EQ(error, nullptr);
    std::free(error);
    std::free(atom);
    xcb_disconnect(c);
}

TEST_F(WindowMarkersTest, UsesTheWindowManagersClientList)
{
    // Too deep for the tree walk; only the client list leads to it.
    MarkerWindow deep(201801, 2);
    ASSERT_NE(deep.id(), 0u);
    EXPECT_EQ(FindWindowByLabel(201801), 0u);

    MarkerWindow unrelated(9);
    PublishClientList({unrelated.id(), deep.id()});
    EXPECT_EQ(FindWindowByLabel(201801), deep.id());
    EXPECT_EQ(FindWindowByLabel(9), unrelated.id());
}

TEST_F(WindowMarkersTest, CloseRequestMakesTheProgramExit)
{
    MarkerWindow product(201801);
    const std::uint32_t window = FindWindowByLabel(201801);
    ASSERT_NE(window, 0u);

    ASSERT_TRUE(RequestWindowClose(window));

    ASSERT_TRUE(product.process().waitForFinished(kWait));
    EXPECT_EQ(product.process().exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(product.process().exitCode(), 0);
    EXPECT_FALSE(WindowExists(window));
    EXPECT_EQ(FindWindowByLabel(201801), 0u);
    // The window is gone, so a second request has nowhere to go.
    EXPECT_FALSE(RequestWindowClose(window));
}

TEST_F(WindowMarkersTest, SetLabelReplacesTheMarker)
{
    MarkerWindow window(1);
    ASSERT_NE(window.id(), 0u);

    ASSERT_TRUE(SetWindowLabel(window.id(), 201801));

    EXPECT_EQ(FindWindowByLabel(201801), window.id());
    EXPECT_EQ(FindWindowByLabel(1), 0u);
    EXPECT_FALSE(SetWindowLabel(0, 5));
}

TEST_F(WindowMarkersTest, WithoutADisplayNothingIsFound)
{
    MarkerWindow product(201801);
    ASSERT_NE(product.id(), 0u);
    const QByteArray display = qgetenv("DISPLAY");

    // Unset, empty, and naming a display where no server listens.
    for (const char* value : {static_cast<const char*>(nullptr), "", ":4093"}) {
        SCOPED_TRACE(value ? value : "(unset)");
        if (value)
            qputenv("DISPLAY", value);
        else
            qunsetenv("DISPLAY");
        EXPECT_EQ(FindWindowByLabel(201801), 0u);
        EXPECT_FALSE(WindowExists(product.id()));
        EXPECT_FALSE(RequestWindowClose(product.id()));
        EXPECT_FALSE(SetWindowLabel(product.id(), 3));
    }

    qputenv("DISPLAY", display);
    EXPECT_EQ(FindWindowByLabel(201801), product.id());
    EXPECT_EQ(product.process().state(), QProcess::Running);
}

}  // namespace
