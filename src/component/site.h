// The site a host gives the objects it creates, from both sides: the host's Site turns
// the object's requests into its own dialogs and windows; SiteDialogs lets code inside a
// component talk to the user through the site as if it were the program's own dialogs.
#pragma once

#include "component/abi.h"
#include "platform/dialogs.h"

#include <cstdint>
#include <optional>
#include <string>

namespace orvix::component {

int32_t icon_code(Icon icon);
Icon icon_of(int32_t code);
int32_t buttons_code(Buttons buttons);
Buttons buttons_of(int32_t code);
int32_t answer_code(Answer answer);
Answer answer_of(int32_t code);

class Site;

// What an object holds of its host's site: the C header first, so the one converts to the
// other.
struct SiteBridge {
    orvix_site header;
    Site* owner;
};

// Host side. Message boxes go to the given dialogs; a host with windows overrides the rest.
class Site {
public:
    explicit Site(Dialogs& dialogs);
    virtual ~Site() = default;
    Site(const Site&) = delete;
    Site& operator=(const Site&) = delete;

    virtual void enable_modeless(bool) {}
    virtual uintptr_t window_handle() { return 0; }
    // The text of key in the program's language; "" when there is none.
    virtual std::string text(const std::string&) { return {}; }
    Dialogs& dialogs() { return m_dialogs; }

    // What an object receives; valid as long as this site lives.
    orvix_site* abi() { return &m_bridge.header; }

private:
    Dialogs& m_dialogs;
    SiteBridge m_bridge;
};

// Component side. Without a site, messages go to stderr; input boxes are never offered.
class SiteDialogs final : public Dialogs {
public:
    void set_site(orvix_site* site) { m_site = site; }
    orvix_site* site() const { return m_site; }

    Answer message_box(const std::string& text, const std::string& title, Icon icon,
                       Buttons buttons) override;
    std::optional<std::string> input_box(const std::string& prompt, const std::string& title,
                                         const std::string& default_answer) override;
    // The host's text for key, or fallback when it has none (or there is no site).
    std::string text(const std::string& key, const std::string& fallback) const;

private:
    orvix_site* m_site = nullptr;
    StderrDialogs m_fallback;
};

// Component side: the host's windows disabled for the guard's lifetime (nothing without a
// site), so a long call is modal for the whole application.
class ModalScope {
public:
    explicit ModalScope(orvix_site* site);
    ~ModalScope();
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

    uintptr_t owner_window() const;

private:
    orvix_site* m_site;
};

} // namespace orvix::component
