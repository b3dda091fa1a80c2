// The sendix component library as the program uses it: registered, created by its class
// identifier, called by dispatch identifier, handing the mail to the real mail library.
#include "mailctl/sendix_ids.h"

#include "component/host.h"
#include "component/library.h"
#include "component/site.h"
#include "support/images.h"
#include "support/mail_fakes.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>

namespace orvix::sendix {
namespace {

using Args = std::vector<std::string>;

class SendixComponent : public ::testing::Test {
protected:
    SendixComponent() {
        m_env.set("XDG_DATA_HOME", m_dir.folder("data"));
        char resolved[PATH_MAX];
        m_library = ::realpath(SENDIX_LIBRARY, resolved) ? resolved : SENDIX_LIBRARY;
    }

    test::TempDir m_dir;
    test::ScopedEnv m_env;
    std::string m_library;
    ScriptedDialogs m_dialogs;
    component::Site m_site{m_dialogs};
};

TEST_F(SendixComponent, RegistersItsTypeLibraryAndBothClasses) {
    ASSERT_EQ(component::register_library(m_library), ORVIX_S_OK);
    const auto control = component::find_class(control_class_id);
    ASSERT_TRUE(control);
    EXPECT_EQ(control->progid, "SENDIX.SendixCtrl.1");
    EXPECT_EQ(control->type_name, "Sendix Control");
    EXPECT_EQ(control->threading_model, "Apartment");
    EXPECT_EQ(control->misc_status, 0x20191u);
    EXPECT_EQ(control->library, m_library);
    EXPECT_EQ(control->typelib, type_library_id);
    const auto page = component::find_class(property_page_class_id);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->progid, "SENDIX.SendixPropPage.1");
    EXPECT_EQ(page->type_name, "Sendix Property Page");
    const auto typelib = component::find_type_library(type_library_id);
    ASSERT_TRUE(typelib);
    EXPECT_EQ(typelib->version, "1.0");
    EXPECT_EQ(typelib->help_string, "Sendix ActiveX Control module");
    EXPECT_EQ(typelib->help_file, "Sendix.hlp");

    ASSERT_EQ(component::unregister_library(m_library), ORVIX_S_OK);
    EXPECT_FALSE(component::find_class(control_class_id));
    EXPECT_FALSE(component::find_class(property_page_class_id));
    EXPECT_FALSE(component::find_type_library(type_library_id));
}

TEST_F(SendixComponent, HandsTheMailToXdgEmail) {
    test::FakeXdgEmail xdg(m_dir);
    const std::string a = m_dir.file("mail/IMG_1.jpg");
    const std::string b = m_dir.file("mail/~IMG0001.jpg");
    test::make_jpeg(a, 8, 8);
    test::make_jpeg(b, 8, 8);
    ASSERT_TRUE(component::ensure_registered(control_class_id, m_library));
    component::Creation creation = component::create_component(
        control_class_id, dispatch_interface_id, dispatch_interface_version, &m_site);
    ASSERT_EQ(creation.status, component::CreateStatus::Created) << component::describe(creation);
    EXPECT_EQ(creation.component->invoke(dispid_SendaMail,
                                         {"-ann@example.org", "Pictures of 2024-05-01", "",
                                          "\"" + a + "\" \"" + b + "\"", "Here they are."}),
              ORVIX_S_OK);
    EXPECT_TRUE(m_dialogs.messages().empty());
    char mail_library[PATH_MAX];
    ASSERT_NE(::realpath(MAIL_LIBRARY, mail_library), nullptr);
    EXPECT_FALSE(component::library_is_loaded(mail_library)) << "released when the mail went";
    const auto calls = xdg.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0],
              (Args{"--utf8", "--to", "-ann@example.org", "--subject", "Pictures of 2024-05-01",
                    "--body", "Here they are.", "--attach", a, "--attach", b}));

    xdg.set_exit("3");
    creation.component->invoke(dispid_SendaMail, {"a@b.org", "s", "", "", "t"});
    ASSERT_EQ(m_dialogs.messages().size(), 1u) << "the failure is told through the site";
    EXPECT_NE(m_dialogs.messages()[0].text.find("No mail program could be reached"),
              std::string::npos);
}

} // namespace
} // namespace orvix::sendix
