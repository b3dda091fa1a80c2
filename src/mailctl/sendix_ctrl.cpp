#include "mailctl/sendix_ctrl.h"

#include "mailctl/mapi_session.h"
#include "mailctl/sendix_ids.h"

namespace orvix::sendix {

namespace {

// The identifier property pages answer, as every property page has it.
constexpr const char* property_page_interface_id = "{B196B28D-BAB4-101A-B69C-00AA00341D07}";
// Recompose on resize, cannot link inside, inside-out, activate when visible, set client
// site first.
constexpr uint32_t control_misc_status = 0x20191;

} // namespace

void CSendixCtrl::SendaMail(const std::string& Url, const std::string& Sujet, const std::string& Cc,
                            const std::string& Joindre, const std::string& Texte) {
    MapiSession session(dialogs(), site(),
                        [this](const std::string& key, const std::string& fallback) {
                            return host_text(key, fallback);
                        });
    if (!session.ready())
        return;
    session.add_recipient(Url, MAPI_TO);
    session.set_subject(Sujet);
    for (const std::string& copy : quoted_texts(Cc))
        session.add_recipient(copy, MAPI_CC);
    for (const std::string& path : quoted_texts(Joindre))
        session.add_file(path);
    session.set_body(Texte);
    session.send(0);
}

void CSendixCtrl::AboutBox() {
    dialogs().message_box("Sendix Control, Version 1.0", "About Sendix Control", Icon::Information,
                          Buttons::Ok);
}

int32_t CSendixCtrl::invoke(int32_t dispid, const std::vector<std::string>& args) {
    switch (dispid) {
    case dispid_SendaMail:
        if (args.size() != 5)
            return ORVIX_DISP_E_BADPARAMCOUNT;
        SendaMail(args[0], args[1], args[2], args[3], args[4]);
        return ORVIX_S_OK;
    case dispid_AboutBox:
        if (!args.empty())
            return ORVIX_DISP_E_BADPARAMCOUNT;
        AboutBox();
        return ORVIX_S_OK;
    default:
        return ORVIX_DISP_E_MEMBERNOTFOUND;
    }
}

int32_t CSendixPropPage::invoke(int32_t, const std::vector<std::string>&) {
    return ORVIX_DISP_E_MEMBERNOTFOUND;
}

component::Module& sendix_module() {
    static component::Module module(
        {type_library_id, type_library_version, "Sendix ActiveX Control module", "Sendix.hlp"},
        {component::ClassEntry{control_class_id, "SENDIX.SendixCtrl.1", "Sendix Control",
                               "Apartment", dispatch_interface_id, dispatch_interface_version,
                               control_misc_status, [] { return std::make_unique<CSendixCtrl>(); }},
         component::ClassEntry{property_page_class_id, "SENDIX.SendixPropPage.1",
                               "Sendix Property Page", "Apartment", property_page_interface_id, 1,
                               0, [] { return std::make_unique<CSendixPropPage>(); }}});
    return module;
}

} // namespace orvix::sendix
