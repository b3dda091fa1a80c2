#include "mailctl/mapi_session.h"
#include "mailctl/sendix_ctrl.h"
#include "mailctl/sendix_ids.h"

#include "component/library.h"
#include "component/site.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <map>

namespace orvix::sendix {
namespace {

using Lines = std::vector<std::string>;

std::string real(const char* path) {
    char resolved[PATH_MAX];
    return ::realpath(path, resolved) ? resolved : path;
}

struct QuoteCase {
    const char* label;
    const char* text;
    Lines texts;
};

class QuotedTexts : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(QuotedTexts, AreTheTextsBetweenPairsOfQuotes) {
    EXPECT_EQ(quoted_texts(GetParam().text), GetParam().texts);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, QuotedTexts,
    ::testing::Values(
        QuoteCase{"two_paths", "\"/a/b 1.jpg\" \"/c/d.jpg\"", {"/a/b 1.jpg", "/c/d.jpg"}},
        QuoteCase{"empty", "", {}}, QuoteCase{"odd_quotes", "\"/a.jpg\" \"/b.jpg", {"/a.jpg"}},
        QuoteCase{"empty_pair", "\"\"", {""}},
        QuoteCase{"outside_ignored", "x\"a\"y;z\"b\"w", {"a", "b"}},
        QuoteCase{"adjacent", "\"a\"\"b\"", {"a", "b"}},
        QuoteCase{"no_quotes", "/a.jpg /b.jpg", {}}),
    [](const ::testing::TestParamInfo<QuoteCase>& info) { return std::string(info.param.label); });

// A host's site that records what the control asks of it.
class RecordingSite final : public component::Site {
public:
    using Site::Site;
    void enable_modeless(bool enable) override { events.push_back(enable ? "enable" : "disable"); }
    uintptr_t window_handle() override { return 4242; }
    std::string text(const std::string& key) override {
        const auto it = texts.find(key);
        return it == texts.end() ? std::string() : it->second;
    }
    Lines events;
    std::map<std::string, std::string> texts;
};

class MailControl : public ::testing::Test {
protected:
    MailControl() {
        m_env.set("ORVIX_FAKE_MAPI_LOG", m_log);
        m_env.unset("ORVIX_FAKE_MAPI_RESULT");
        set_mail_library_path(m_fake);
        m_control.set_site(m_site.abi());
    }
    ~MailControl() override { set_mail_library_path(""); }

    Lines log() const { return split(test::read_file(m_log)); }
    static Lines split(const std::string& text) {
        Lines lines;
        size_t at = 0;
        while (at < text.size()) {
            const size_t end = text.find('\n', at);
            lines.push_back(text.substr(at, end - at));
            at = end + 1;
        }
        return lines;
    }
    int32_t send(const std::string& url, const std::string& subject, const std::string& cc,
                 const std::string& files, const std::string& body) {
        return m_control.invoke(dispid_SendaMail, {url, subject, cc, files, body});
    }

    test::TempDir m_dir;
    test::ScopedEnv m_env;
    const std::string m_log = m_dir.path() + "mapi.log";
    const std::string m_fake = real(FAKE_MAPI_LIBRARY);
    ScriptedDialogs m_dialogs;
    RecordingSite m_site{m_dialogs};
    CSendixCtrl m_control;
};

TEST_F(MailControl, SendsOneMessageWithAttachmentsOnTrailingSpaces) {
    ASSERT_EQ(send("ann@example.org;bob@example.org", "Pictures", "",
                   "\"/tmp/m/IMG_1.jpg\" \"/tmp/m/~IMG0001.jpg\"", "Hello"),
              ORVIX_S_OK);
    EXPECT_EQ(log(), (Lines{"load", "send session=0 ui=4242 flags=1 reserved=0", "subject=Pictures",
                            "note=Hello  ", "originator=zeroed",
                            "recipient=1|ann@example.org;bob@example.org|",
                            "file=5|/tmp/m/IMG_1.jpg|", "file=6|/tmp/m/~IMG0001.jpg|", "unload"}));
    EXPECT_EQ(m_site.events, (Lines{"disable", "enable"}));
    EXPECT_TRUE(m_dialogs.messages().empty());
}

TEST_F(MailControl, WithoutAttachmentsTheBodyStaysAsItIs) {
    send("ann@example.org", "", "\"c@d.org\" \"\" \"e@f.org", "", "Line 1\r\nLine 2");
    EXPECT_EQ(log(), (Lines{"load", "send session=0 ui=4242 flags=1 reserved=0",
                            "subject=", "note=Line 1\\r\\nLine 2", "originator=zeroed",
                            "recipient=1|ann@example.org|", "recipient=2|c@d.org|", "recipient=2||",
                            "unload"}));
}

TEST_F(MailControl, EachCallLoadsAndReleasesTheMailLibrary) {
    for (int call = 0; call < 2; ++call) {
        send("a@b.org", "s", "", "", "t");
        EXPECT_FALSE(component::library_is_loaded(m_fake)) << "call " << call;
    }
    Lines loads;
    for (const std::string& line : log()) {
        if (line == "load" || line == "unload")
            loads.push_back(line);
    }
    EXPECT_EQ(loads, (Lines{"load", "unload", "load", "unload"}));
}

TEST_F(MailControl, PromptsWhenTheMailSystemCannotBeLoaded) {
    set_mail_library_path(m_dir.path() + "missing/libsimplemapi.so");
    {
        MapiSession session(m_dialogs, nullptr);
        EXPECT_FALSE(session.ready());
        EXPECT_EQ(session.last_error(), library_not_loaded);
        EXPECT_EQ(session.send(0), MAPI_E_FAILURE);
    }
    send("a@b.org", "s", "", "", "t");
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[1].text, no_mail_system_text());
    EXPECT_EQ(m_dialogs.messages()[1].icon, Icon::Exclamation);
    EXPECT_TRUE(log().empty()) << "nothing was sent";
    EXPECT_TRUE(m_site.events.empty());
}

TEST_F(MailControl, PromptsWhenTheLibraryHasNoMapiSendMail) {
    const std::string library = real(NOT_A_MAIL_LIBRARY);
    set_mail_library_path(library);
    {
        MapiSession session(m_dialogs, nullptr);
        EXPECT_EQ(session.last_error(), no_send_entry_point);
    }
    EXPECT_FALSE(component::library_is_loaded(library));
    send("a@b.org", "s", "", "", "t");
    ASSERT_EQ(m_dialogs.messages().size(), 2u);
    EXPECT_EQ(m_dialogs.messages()[1].text, invalid_mail_system_text());
    EXPECT_FALSE(component::library_is_loaded(library));
}

struct OutcomeCase {
    const char* label;
    ULONG result;
    bool prompted;
};

class MailOutcome : public MailControl, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(MailOutcome, IsToldOnlyForRealFailures) {
    m_env.set("ORVIX_FAKE_MAPI_RESULT", std::to_string(GetParam().result));
    send("a@b.org", "s", "", "\"/x.jpg\"", "t");
    if (!GetParam().prompted) {
        EXPECT_TRUE(m_dialogs.messages().empty());
        return;
    }
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].text, send_failed_text(GetParam().result));
    EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Exclamation);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MailOutcome,
    ::testing::Values(OutcomeCase{"success", SUCCESS_SUCCESS, false},
                      OutcomeCase{"user_abort", MAPI_USER_ABORT, false},
                      OutcomeCase{"logon_failure", MAPI_E_LOGIN_FAILURE, false},
                      OutcomeCase{"failure", MAPI_E_FAILURE, true},
                      OutcomeCase{"no_mail_client", MAPI_E_NOT_SUPPORTED, true},
                      OutcomeCase{"attachment_missing", MAPI_E_ATTACHMENT_NOT_FOUND, true}),
    [](const ::testing::TestParamInfo<OutcomeCase>& info) {
        return std::string(info.param.label);
    });

// The prompt speaks the program's language, which the host's site gives.
TEST_F(MailControl, AFailureIsToldInTheHostsLanguage) {
    m_site.texts["mail_send_failed"] = "Votre programme de messagerie a refusé (erreur #1).";
    m_site.texts["mail_no_client"] = "Aucun programme de messagerie.";
    m_env.set("ORVIX_FAKE_MAPI_RESULT", std::to_string(MAPI_E_FAILURE));
    send("a@b.org", "s", "", "", "t");
    m_env.set("ORVIX_FAKE_MAPI_RESULT", std::to_string(MAPI_E_NOT_SUPPORTED));
    send("a@b.org", "s", "", "", "t");
    m_env.set("ORVIX_FAKE_MAPI_RESULT", std::to_string(MAPI_E_ATTACHMENT_NOT_FOUND));
    send("a@b.org", "s", "", "", "t");
    ASSERT_EQ(m_dialogs.messages().size(), 3u);
    EXPECT_EQ(m_dialogs.messages()[0].text, "Votre programme de messagerie a refusé (erreur 2).");
    EXPECT_EQ(m_dialogs.messages()[1].text, "Aucun programme de messagerie.");
    EXPECT_EQ(m_dialogs.messages()[2].text, send_failed_text(MAPI_E_ATTACHMENT_NOT_FOUND))
        << "the component's own text where the host has none";
}

// Mails are handed over on threads of their own: a session that ends must not close the
// library under another one still sending.
TEST_F(MailControl, OverlappingSessionsShareTheMailLibrary) {
    {
        MapiSession first(m_dialogs, nullptr);
        ASSERT_TRUE(first.ready());
        {
            MapiSession second(m_dialogs, nullptr);
            ASSERT_TRUE(second.ready());
        }
        EXPECT_TRUE(component::library_is_loaded(m_fake)) << "closed under the first session";
        first.add_recipient("a@b.org", MAPI_TO);
        EXPECT_EQ(first.send(0), SUCCESS_SUCCESS);
    }
    EXPECT_FALSE(component::library_is_loaded(m_fake));
    EXPECT_EQ(log().front(), "load");
    EXPECT_EQ(log().back(), "unload");
}

TEST_F(MailControl, AnswersItsMembersByDispatchIdentifier) {
    EXPECT_EQ(m_control.invoke(dispid_AboutBox, {}), ORVIX_S_OK);
    ASSERT_EQ(m_dialogs.messages().size(), 1u);
    EXPECT_EQ(m_dialogs.messages()[0].title, "About Sendix Control");
    EXPECT_EQ(m_dialogs.messages()[0].text, "Sendix Control, Version 1.0");
    EXPECT_EQ(m_control.invoke(dispid_AboutBox, {"x"}), ORVIX_DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(m_control.invoke(dispid_SendaMail, {"a", "b", "c", "d"}), ORVIX_DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(m_control.invoke(2, {}), ORVIX_DISP_E_MEMBERNOTFOUND);
    EXPECT_TRUE(log().empty());
}

} // namespace
} // namespace orvix::sendix
