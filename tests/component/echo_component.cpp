// A component for the tests of the component layer: "Say" (dispatch id 1) shows its
// arguments joined by "|" through the site; "Ask" (2) asks a Yes/No question and answers
// 0 for Yes, 1 for No.
#include "component/server.h"

#include "text/text.h"

namespace {

using orvix::component::ClassEntry;
using orvix::component::Module;
using orvix::component::Object;

class Echo final : public Object {
public:
    int32_t invoke(int32_t dispid, const std::vector<std::string>& args) override {
        switch (dispid) {
        case 1:
            dialogs().message_box(orvix::join(args, "|"), "Echo", orvix::Icon::Information,
                                  orvix::Buttons::Ok);
            return ORVIX_S_OK;
        case 2:
            return dialogs().message_box("Yes?", "", orvix::Icon::Question,
                                         orvix::Buttons::YesNo) == orvix::Answer::Yes
                       ? ORVIX_S_OK
                       : ORVIX_S_FALSE;
        default:
            return ORVIX_DISP_E_MEMBERNOTFOUND;
        }
    }
};

Module& module() {
    static Module instance(
        {"{7E57C0DE-0000-4000-8000-000000000003}", "1.0", "Echo test module", ""},
        {ClassEntry{"{7E57C0DE-0000-4000-8000-000000000001}", "ORVIXTEST.Echo.1", "Echo Test",
                    "Apartment", "{7E57C0DE-0000-4000-8000-000000000002}", 1, 0x20191,
                    [] { return std::make_unique<Echo>(); }}});
    return instance;
}

} // namespace

ORVIX_COMPONENT_ENTRY_POINTS(module)
