// The mail-sending control: an invisible object a window hosts to hand one e-mail with its
// recipients, subject, body and attachments to the mail system.
#pragma once

#include "component/server.h"

#include <string>
#include <vector>

namespace orvix::sendix {

class CSendixCtrl final : public component::Object {
public:
    // Url: the one To recipient, taken whole; Cc: quoted copy recipients; Joindre: quoted
    // full paths of the attachments; Texte: the body. Problems are told to the user; nothing
    // is returned.
    void SendaMail(const std::string& Url, const std::string& Sujet, const std::string& Cc,
                   const std::string& Joindre, const std::string& Texte);
    void AboutBox();

    // SendaMail (five arguments) and AboutBox (none) by their dispatch identifiers.
    int32_t invoke(int32_t dispid, const std::vector<std::string>& args) override;
};

// The property page of the control: one "General" tab without controls, so it has no
// members of its own.
class CSendixPropPage final : public component::Object {
public:
    int32_t invoke(int32_t dispid, const std::vector<std::string>& args) override;
};

// The module of the component library: the type library and both classes.
component::Module& sendix_module();

} // namespace orvix::sendix
