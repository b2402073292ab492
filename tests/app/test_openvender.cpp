// The application object's vendor connection: OpenVender / CloseVender and the boxes the
// vendor object shows, against the simulated vendor.
#include "app/quorvelapp.h"
#include "platform/codepage.h"
#include "platform/ui/messagebox.h"
#include "support/testutil.h"
#include "vendorsim/vendorsim.h"

#include <gtest/gtest.h>

using namespace testutil;

namespace {

// Sets where the application's vendor lives, as --host and --port do.
void pointAt(CQuorvelApp &app, uint16_t port)
{
    std::string message;
    ASSERT_EQ(app.ParseCommandLine({"quorvel", "--host", "127.0.0.1", "--port", QString::number(port)}, message),
              CQuorvelApp::ParseResult::Run);
}

} // namespace

TEST(AppVendor, OpenAndCloseAgainstTheConfiguredAddress)
{
    auto sim = startSimulator();
    ASSERT_TRUE(sim);
    platform::ScriptedMessageBoxes boxes;
    CQuorvelApp app;
    pointAt(app, sim->port());

    app.OpenVender();
    EXPECT_TRUE(boxes.boxes().empty());
    EXPECT_TRUE(app.Vender().IsConnected());
    DeviceDateTime t;
    EXPECT_TRUE(app.Vender().ReadClock(t));

    // The logo transfer's file messages are boxes with the stop icon.
    EXPECT_FALSE(app.Vender().SendLogo(1, "/nonexistent/shoplogo.imp"));
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(utf8(boxes.boxes()[0].text), "ロゴデータファイルが読み込めません");
    EXPECT_EQ(boxes.boxes()[0].icon, platform::MsgIcon::Stop);

    app.CloseVender();
    EXPECT_FALSE(app.Vender().IsConnected());
}

TEST(AppVendor, UnreachableVendorIsReportedOnce)
{
    platform::ScriptedMessageBoxes boxes;
    CQuorvelApp app;
    pointAt(app, portWithNothingListening());
    app.OpenVender();
    ASSERT_EQ(boxes.boxes().size(), 1u);
    EXPECT_EQ(utf8(boxes.boxes()[0].text), "通信できません。\n環境を確認してください。");
    EXPECT_EQ(boxes.boxes()[0].icon, platform::MsgIcon::Exclamation);
    EXPECT_EQ(boxes.boxes()[0].buttons, platform::MsgButtons::Ok);
    DeviceDateTime t;
    EXPECT_FALSE(app.Vender().ReadClock(t)); // nothing reconnects
    EXPECT_EQ(boxes.boxes().size(), 1u);
    app.CloseVender();
}
