#include "simplemapi/mapi.h"

#include "support/images.h"
#include "support/mail_fakes.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace orvix::test {
namespace {

using Args = std::vector<std::string>;

// A message as the mail component builds it, with storage for every string.
class Message {
public:
    Message& to(std::string name, ULONG recipient_class = MAPI_TO, std::string address = "") {
        m_recipients.push_back({recipient_class, std::move(name), std::move(address)});
        return *this;
    }
    Message& subject(std::string text) {
        m_subject = std::move(text);
        return *this;
    }
    Message& body(std::string text) {
        m_body = std::move(text);
        return *this;
    }
    Message& attach(std::string path, ULONG position = 0xFFFFFFFFu) {
        m_files.push_back({std::move(path), position});
        return *this;
    }

    ULONG send() {
        std::vector<MapiRecipDesc> recipients;
        for (Recipient& r : m_recipients)
            recipients.push_back({0, r.recipient_class, r.name.data(),
                                  r.address.empty() ? nullptr : r.address.data(), 0, nullptr});
        std::vector<MapiFileDesc> files;
        for (File& f : m_files)
            files.push_back({0, 0, f.position, f.path.data(), nullptr, nullptr});
        MapiRecipDesc originator{};
        MapiMessage message{};
        message.lpszSubject = m_subject.data();
        message.lpszNoteText = m_body.data();
        message.lpOriginator = &originator;
        message.nRecipCount = static_cast<ULONG>(recipients.size());
        message.lpRecips = recipients.empty() ? nullptr : recipients.data();
        message.nFileCount = static_cast<ULONG>(files.size());
        message.lpFiles = files.empty() ? nullptr : files.data();
        return MAPISendMail(0, 0, &message, MAPI_LOGON_UI, 0);
    }

private:
    struct Recipient {
        ULONG recipient_class;
        std::string name;
        std::string address;
    };
    struct File {
        std::string path;
        ULONG position;
    };
    std::vector<Recipient> m_recipients;
    std::string m_subject;
    std::string m_body;
    std::vector<File> m_files;
};

class SimpleMapi : public ::testing::Test {
protected:
    SimpleMapi() {
        make_jpeg(m_a, 8, 8);
        make_jpeg(m_b, 8, 8);
    }

    TempDir m_dir;
    const std::string m_a = m_dir.file("pictures/IMG_1.jpg");
    const std::string m_b = m_dir.file("other/IMG_1.jpg");
};

struct ArgumentCase {
    const char* label;
    std::function<void(Message&, const std::string& a, const std::string& b)> fill;
    std::function<Args(const std::string& a, const std::string& b)> expected;
};

class XdgEmailArguments : public SimpleMapi, public ::testing::WithParamInterface<ArgumentCase> {};

TEST_P(XdgEmailArguments, AreExactlyTheData) {
    FakeXdgEmail xdg(m_dir);
    Message message;
    GetParam().fill(message, m_a, m_b);
    ASSERT_EQ(message.send(), SUCCESS_SUCCESS);
    const auto calls = xdg.calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], GetParam().expected(m_a, m_b));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XdgEmailArguments,
    ::testing::Values(
        // The body's two trailing spaces stand for the two attachments and are not sent.
        ArgumentCase{"plain",
                     [](Message& m, auto& a, auto& b) {
                         m.to("ann@example.org")
                             .subject("Pictures of 2024-05-01")
                             .body("Hello  ")
                             .attach(a, 5)
                             .attach(b, 6);
                     },
                     [](auto& a, auto& b) {
                         return Args{"--utf8",    "ann@example.org",
                                     "--subject", "Pictures of 2024-05-01",
                                     "--body",    "Hello",
                                     "--attach",  a,
                                     "--attach",  b};
                     }},
        ArgumentCase{"quotes_semicolons_line_breaks_non_ascii",
                     [](Message& m, auto&, auto&) {
                         m.to("ann@example.org")
                             .subject("Re: \"best\" ; $(rm -rf ~) `id` 'x' été")
                             .body("Line 1\r\nLine 2; \"q\" & ünï\rLine 3");
                     },
                     [](auto&, auto&) {
                         return Args{"--utf8",    "ann@example.org",
                                     "--subject", "Re: \"best\" ; $(rm -rf ~) `id` 'x' été",
                                     "--body",    "Line 1\nLine 2; \"q\" & ünï\nLine 3"};
                     }},
        ArgumentCase{"recipient_starting_with_a_dash",
                     [](Message& m, auto&, auto&) { m.to("-oProxyCommand=x@evil.org"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "--to", "-oProxyCommand=x@evil.org"};
                     }},
        ArgumentCase{"recipient_that_is_a_whole_message",
                     [](Message& m, auto&, auto&) { m.to("mailto:x@y.org?attach=/etc/shadow"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "--to", "mailto:x@y.org?attach=/etc/shadow"};
                     }},
        ArgumentCase{"name_without_address", [](Message& m, auto&, auto&) { m.to("Ann Smith"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "--to", "Ann Smith"};
                     }},
        ArgumentCase{"semicolon_list_kept_whole",
                     [](Message& m, auto&, auto&) { m.to("a@b.org;c@d.org"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "a@b.org;c@d.org"};
                     }},
        ArgumentCase{"address_field_wins_and_loses_its_prefix",
                     [](Message& m, auto&, auto&) { m.to("Ann", MAPI_TO, "SMTP:ann@example.org"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "ann@example.org"};
                     }},
        ArgumentCase{"copies",
                     [](Message& m, auto&, auto&) {
                         m.to("a@b.org").to("c@d.org", MAPI_CC).to("-e@f.org", MAPI_BCC);
                     },
                     [](auto&, auto&) {
                         return Args{"--utf8", "a@b.org", "--cc", "c@d.org", "--bcc", "-e@f.org"};
                     }},
        ArgumentCase{"backslashes_travel_encoded",
                     [](Message& m, auto&, auto&) {
                         m.to("a@b.org").subject("C:\\new\\photos").body("tab\\there\\c end");
                     },
                     [](auto&, auto&) {
                         return Args{"--utf8",
                                     "mailto:a@b.org?subject=C%3A%5Cnew%5Cphotos&body=tab%"
                                     "5Cthere%5Cc%20end"};
                     }},
        // The whole message goes as one link, its recipient in the link's path.
        ArgumentCase{"recipients_and_files_join_the_link",
                     [](Message& m, auto& a, auto&) {
                         m.to("ann@example.org")
                             .to("bob@example.org")
                             .to("c@d.org", MAPI_CC)
                             .body("Bye\r\n ")
                             .attach(a, 5);
                     },
                     [](auto& a, auto&) {
                         return Args{"--utf8", "mailto:ann@example.org?to=bob@example.org&cc=c@"
                                               "d.org&body=Bye%0D%0A&attach=" +
                                                   a};
                     }},
        ArgumentCase{"quoted_display_name_kept",
                     [](Message& m, auto&, auto&) { m.to("\"Smith, Ann\" <ann@x.org>"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "\"Smith, Ann\" <ann@x.org>"};
                     }},
        ArgumentCase{
            "quotes_inside_a_display_name_are_escaped",
            [](Message& m, auto&, auto&) { m.to(" A. \"Boss\" Smith <a@b.org>"); },
            [](auto&, auto&) {
                return Args{"--utf8", "mailto:%22A.%20%5C%22Boss%5C%22%20Smith%22%20%3Ca@b.org%3E"};
            }},
        ArgumentCase{"display_name_with_a_comma_is_quoted",
                     [](Message& m, auto&, auto&) { m.to("Lefèvre, Zoë <zoe@example.org>"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "\"Lefèvre, Zoë\" <zoe@example.org>"};
                     }},
        ArgumentCase{"echo_option_and_trailing_line_break",
                     [](Message& m, auto&, auto&) { m.subject("-n").body("Bye\r\n"); },
                     [](auto&, auto&) {
                         return Args{"--utf8", "mailto:?subject=-n&body=Bye%0D%0A"};
                     }},
        ArgumentCase{"empty_fields_left_out",
                     [](Message& m, auto& a, auto&) { m.to("").attach(a); },
                     [](auto& a, auto&) {
                         return Args{"--utf8", "--attach", a};
                     }}),
    [](const ::testing::TestParamInfo<ArgumentCase>& info) {
        return std::string(info.param.label);
    });

TEST_F(SimpleMapi, AttachesRelativePathsByTheirAbsolutePath) {
    FakeXdgEmail xdg(m_dir);
    const std::string odd = m_dir.file("-odd name.jpg");
    make_jpeg(odd, 4, 4);
    char cwd[PATH_MAX];
    ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
    ASSERT_EQ(::chdir(m_dir.path().c_str()), 0);
    const ULONG result = Message().to("a@b.org").attach("-odd name.jpg").send();
    ASSERT_EQ(::chdir(cwd), 0);
    ASSERT_EQ(result, SUCCESS_SUCCESS);
    char real[PATH_MAX];
    ASSERT_NE(::realpath(odd.c_str(), real), nullptr);
    EXPECT_EQ(xdg.calls().at(0), (Args{"--utf8", "a@b.org", "--attach", real}));
}

struct OutcomeCase {
    const char* label;
    const char* exit;
    ULONG result;
};

class XdgEmailOutcome : public SimpleMapi, public ::testing::WithParamInterface<OutcomeCase> {};

TEST_P(XdgEmailOutcome, BecomesAMapiCode) {
    FakeXdgEmail xdg(m_dir);
    xdg.set_exit(GetParam().exit);
    EXPECT_EQ(Message().to("a@b.org").send(), GetParam().result);
    EXPECT_EQ(xdg.calls().size(), 1u);
}

INSTANTIATE_TEST_SUITE_P(Cases, XdgEmailOutcome,
                         ::testing::Values(OutcomeCase{"handed_over", "0", SUCCESS_SUCCESS},
                                           OutcomeCase{"syntax", "1", MAPI_E_FAILURE},
                                           OutcomeCase{"file_missing", "2",
                                                       MAPI_E_ATTACHMENT_NOT_FOUND},
                                           OutcomeCase{"no_mail_client", "3", MAPI_E_NOT_SUPPORTED},
                                           OutcomeCase{"client_failed", "4", MAPI_E_FAILURE},
                                           OutcomeCase{"other_status", "9", MAPI_E_FAILURE},
                                           OutcomeCase{"killed", "signal", MAPI_E_FAILURE}),
                         [](const ::testing::TestParamInfo<OutcomeCase>& info) {
                             return std::string(info.param.label);
                         });

TEST_F(SimpleMapi, WithoutXdgEmailNothingIsSupported) {
    ScopedEnv env;
    env.set("PATH", m_dir.folder("empty-bin"));
    EXPECT_EQ(Message().to("a@b.org").send(), MAPI_E_NOT_SUPPORTED);
}

// A mail program that was not running keeps xdg-email until it closes; what it says then
// is the outcome, however late it comes.
TEST_F(SimpleMapi, WaitsForXdgEmailsOwnEndAndItsFailure) {
    FakeXdgEmail xdg(m_dir);
    const std::string gate = m_dir.path() + "client-closed";
    xdg.wait_for_file(gate);
    xdg.set_exit("4");
    std::promise<ULONG> outcome;
    std::future<ULONG> result = outcome.get_future();
    std::thread sender([&outcome] { outcome.set_value(Message().to("a@b.org").send()); });
    ASSERT_EQ(xdg.wait_for_calls(1).size(), 1u);
    // Held past the five seconds after which the hand-over used to be taken as done.
    EXPECT_EQ(result.wait_for(std::chrono::milliseconds(5500)), std::future_status::timeout)
        << "the call returned while xdg-email was still running";
    write_file(gate, "");
    sender.join();
    EXPECT_EQ(result.get(), MAPI_E_FAILURE);
}

TEST_F(SimpleMapi, RefusesWhatCannotBeSentBeforeStartingAnything) {
    FakeXdgEmail xdg(m_dir);
    EXPECT_EQ(Message().to("a@b.org").attach(m_dir.path() + "gone.jpg").send(),
              MAPI_E_ATTACHMENT_NOT_FOUND);
    EXPECT_EQ(Message().to("a@b.org").attach("").send(), MAPI_E_ATTACHMENT_NOT_FOUND);
    EXPECT_EQ(Message().to("a@b.org").attach(m_dir.folder("a-folder")).send(),
              MAPI_E_ATTACHMENT_OPEN_FAILURE);
    if (!running_as_root()) {
        ::chmod(m_a.c_str(), 0);
        EXPECT_EQ(Message().to("a@b.org").attach(m_a).send(), MAPI_E_ATTACHMENT_OPEN_FAILURE);
    }
    EXPECT_EQ(Message().to("me@b.org", MAPI_ORIG).send(), MAPI_E_BAD_RECIPTYPE);
    EXPECT_EQ(MAPISendMail(0, 0, nullptr, 0, 0), MAPI_E_FAILURE);
    EXPECT_TRUE(xdg.calls().empty());
}

// The real xdg-email, up to a mail client registered as the mailto handler.
TEST_F(SimpleMapi, ReachesTheMailClientThroughXdgEmail) {
    FakeMailClient client(m_dir);
    ASSERT_TRUE(client.ready());
    const std::string subject = "Re: \"best\" ; C:\\new été";
    const std::string body = "Line 1\r\nLine 2; & = ? #";
    const ULONG end = static_cast<ULONG>(body.size());
    ASSERT_EQ(Message()
                  .to("-ann@example.org")
                  .to("bob@example.org")
                  .subject(subject)
                  .body(body + "  ")
                  .attach(m_a, end)
                  .attach(m_b, end + 1)
                  .send(),
              SUCCESS_SUCCESS);
    const auto received = client.received();
    ASSERT_EQ(received.size(), 1u);
    const Mailto mail = parse_mailto(received[0]);
    // Which address stands before '?' and which in a to= field is xdg-email's choice.
    std::vector<std::string> to = mail.values("to");
    if (!mail.path.empty())
        to.push_back(mail.path);
    std::sort(to.begin(), to.end());
    EXPECT_EQ(to, (Args{"-ann@example.org", "bob@example.org"})) << received[0];
    EXPECT_EQ(mail.values("subject"), Args{subject});
    EXPECT_EQ(mail.values("body"), Args{body});
    EXPECT_EQ(mail.values("attach"), (Args{m_a, m_b}));
}

struct ClientCase {
    const char* client;
    const char* body; // as the mail window gives it
};

class DesktopMailProgram : public SimpleMapi, public ::testing::WithParamInterface<ClientCase> {};

// The real xdg-email, up to a program named like each mail client of the desktop, which reads
// what it gets the way that client does.
TEST_P(DesktopMailProgram, ReceivesTheWholeMail) {
    FakeDesktopMailProgram client(m_dir, GetParam().client);
    ASSERT_TRUE(client.ready());
    const Args files = {m_dir.file("pictures/Beach day.jpg"), m_dir.file("pictures/l'été.jpg"),
                        m_dir.file("pictures/Zoë's dog.jpg")};
    for (const std::string& file : files)
        make_jpeg(file, 8, 8);
    const std::string body = GetParam().body;
    Message message;
    message.to("Lefèvre, Zoë <zoe@example.org>").subject("Pictures; été").body(body + "   ");
    for (size_t i = 0; i < files.size(); ++i)
        message.attach(files[i], static_cast<ULONG>(body.size() + i));
    ASSERT_EQ(message.send(), SUCCESS_SUCCESS);

    const auto mails = client.composed();
    ASSERT_EQ(mails.size(), 1u);
    EXPECT_EQ(mails[0].to, Args{"\"Lefèvre, Zoë\" <zoe@example.org>"});
    EXPECT_EQ(mails[0].subject, Args{"Pictures; été"});
    std::string expected_body = body;
    for (size_t at = expected_body.find('\n'); at != std::string::npos;
         at = expected_body.find('\n', at + 2))
        expected_body.replace(at, 1, "\r\n");
    EXPECT_EQ(mails[0].body, Args{expected_body});
    EXPECT_EQ(mails[0].attach, files);
    EXPECT_TRUE(mails[0].missing.empty());
}

INSTANTIATE_TEST_SUITE_P(Clients, DesktopMailProgram,
                         ::testing::Values(ClientCase{"thunderbird", "Hello,\nhere they are."},
                                           ClientCase{"thunderbird", "From C:\\photos\n"},
                                           ClientCase{"evolution", "Hello,\nhere they are."},
                                           ClientCase{"evolution", "From C:\\photos\n"},
                                           ClientCase{"claws-mail", "Hello,\nhere they are."},
                                           ClientCase{"claws-mail", "From C:\\photos\n"}),
                         [](const ::testing::TestParamInfo<ClientCase>& info) {
                             std::string name = info.param.client;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name + (std::string(info.param.body).ends_with('\n')
                                                ? "_link"
                                                : "_options");
                         });

} // namespace
} // namespace orvix::test
