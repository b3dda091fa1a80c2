#include "component/site.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace orvix::component {

namespace {

static_assert(std::is_standard_layout_v<SiteBridge>);

Site& owner_of(orvix_site* self) {
    return *reinterpret_cast<SiteBridge*>(self)->owner;
}

int32_t site_message_box(orvix_site* self, const char* text, const char* title, int32_t icon,
                         int32_t buttons) {
    Site& site = owner_of(self);
    const Answer answer = site.dialogs().message_box(text ? text : "", title ? title : "",
                                                     icon_of(icon), buttons_of(buttons));
    return answer_code(answer);
}

void site_enable_modeless(orvix_site* self, int32_t enable) {
    owner_of(self).enable_modeless(enable != 0);
}

uintptr_t site_window_handle(orvix_site* self) {
    return owner_of(self).window_handle();
}

uint32_t site_text(orvix_site* self, const char* key, char* buffer, uint32_t size) {
    const std::string text = owner_of(self).text(key ? key : "");
    if (buffer && size > 0) {
        const size_t copied = std::min<size_t>(text.size(), size - 1);
        std::memcpy(buffer, text.data(), copied);
        buffer[copied] = '\0';
    }
    return static_cast<uint32_t>(text.size());
}

const orvix_site_vtbl site_vtbl = {ORVIX_COMPONENT_ABI_VERSION, site_message_box,
                                   site_enable_modeless, site_window_handle, site_text};

// A site built by another host may carry an older table; its calls are then not made.
bool usable(const orvix_site* site) {
    return site && site->vtbl && site->vtbl->version == ORVIX_COMPONENT_ABI_VERSION;
}

} // namespace

int32_t icon_code(Icon icon) {
    switch (icon) {
    case Icon::Exclamation:
        return ORVIX_ICON_EXCLAMATION;
    case Icon::Critical:
        return ORVIX_ICON_CRITICAL;
    case Icon::Information:
        return ORVIX_ICON_INFORMATION;
    case Icon::Question:
        return ORVIX_ICON_QUESTION;
    case Icon::None:
        break;
    }
    return ORVIX_ICON_NONE;
}

Icon icon_of(int32_t code) {
    switch (code) {
    case ORVIX_ICON_EXCLAMATION:
        return Icon::Exclamation;
    case ORVIX_ICON_CRITICAL:
        return Icon::Critical;
    case ORVIX_ICON_INFORMATION:
        return Icon::Information;
    case ORVIX_ICON_QUESTION:
        return Icon::Question;
    default:
        return Icon::None;
    }
}

int32_t buttons_code(Buttons buttons) {
    switch (buttons) {
    case Buttons::OkCancel:
        return ORVIX_BUTTONS_OKCANCEL;
    case Buttons::YesNo:
        return ORVIX_BUTTONS_YESNO;
    case Buttons::YesNoCancel:
        return ORVIX_BUTTONS_YESNOCANCEL;
    case Buttons::Ok:
        break;
    }
    return ORVIX_BUTTONS_OK;
}

Buttons buttons_of(int32_t code) {
    switch (code) {
    case ORVIX_BUTTONS_OKCANCEL:
        return Buttons::OkCancel;
    case ORVIX_BUTTONS_YESNO:
        return Buttons::YesNo;
    case ORVIX_BUTTONS_YESNOCANCEL:
        return Buttons::YesNoCancel;
    default:
        return Buttons::Ok;
    }
}

int32_t answer_code(Answer answer) {
    switch (answer) {
    case Answer::Cancel:
        return ORVIX_ANSWER_CANCEL;
    case Answer::Yes:
        return ORVIX_ANSWER_YES;
    case Answer::No:
        return ORVIX_ANSWER_NO;
    case Answer::Ok:
        break;
    }
    return ORVIX_ANSWER_OK;
}

Answer answer_of(int32_t code) {
    switch (code) {
    case ORVIX_ANSWER_CANCEL:
        return Answer::Cancel;
    case ORVIX_ANSWER_YES:
        return Answer::Yes;
    case ORVIX_ANSWER_NO:
        return Answer::No;
    default:
        return Answer::Ok;
    }
}

Site::Site(Dialogs& dialogs) : m_dialogs(dialogs), m_bridge{{&site_vtbl}, this} {}

Answer SiteDialogs::message_box(const std::string& text, const std::string& title, Icon icon,
                                Buttons buttons) {
    if (!usable(m_site))
        return m_fallback.message_box(text, title, icon, buttons);
    return answer_of(m_site->vtbl->message_box(m_site, text.c_str(), title.c_str(), icon_code(icon),
                                               buttons_code(buttons)));
}

std::string SiteDialogs::text(const std::string& key, const std::string& fallback) const {
    if (!usable(m_site))
        return fallback;
    std::string text(256, '\0');
    uint32_t length =
        m_site->vtbl->text(m_site, key.c_str(), text.data(), static_cast<uint32_t>(text.size()));
    if (length >= text.size()) {
        text.assign(static_cast<size_t>(length) + 1, '\0');
        length = m_site->vtbl->text(m_site, key.c_str(), text.data(),
                                    static_cast<uint32_t>(text.size()));
    }
    if (length == 0 || length >= text.size())
        return fallback;
    text.resize(length);
    return text;
}

std::optional<std::string> SiteDialogs::input_box(const std::string&, const std::string&,
                                                  const std::string&) {
    return std::nullopt;
}

ModalScope::ModalScope(orvix_site* site) : m_site(usable(site) ? site : nullptr) {
    if (m_site)
        m_site->vtbl->enable_modeless(m_site, 0);
}

ModalScope::~ModalScope() {
    if (m_site)
        m_site->vtbl->enable_modeless(m_site, 1);
}

uintptr_t ModalScope::owner_window() const {
    return m_site ? m_site->vtbl->window_handle(m_site) : 0;
}

} // namespace orvix::component
