#include "edit_fixture.h"

#include "fs/fs.h"
#include "imaging/imaging.h"
#include "settings/prefs.h"
#include "support/images.h"
#include "transfer/naming.h"

#include <cstdlib>
#include <memory>

namespace orvix::test {

namespace {

std::string shipped_english() {
    const char* source = std::getenv("ORVIX_SOURCE_DIR");
    return source ? std::string(source) + "/resources/extra/languages/ENGLISH.LNG" : "";
}

} // namespace

EditTest::EditTest()
    : m_pictures(m_dir.folder("pictures")), m_context{m_records,  m_dir.folder("thumbs"),
                                                      m_language, m_dialogs,
                                                      m_grid,     {}} {
    m_context.busy = [this]() -> std::shared_ptr<void> {
        m_busy_peak = std::max(m_busy_peak, ++m_busy);
        return std::shared_ptr<void>(nullptr, [this](void*) { --m_busy; });
    };
    ScriptedDialogs silent;
    ScopedDialogs scope(silent);
    m_language.parse_language_text(read_text_file(shipped_english(), false));
    EXPECT_NE(m_language.translate("confirm_delete"), "") << "ORVIX_SOURCE_DIR is not set";
}

std::string EditTest::add_picture(const std::string& name, int width, int height,
                                  const std::string& folder) {
    const std::string path = (folder.empty() ? m_pictures : m_dir.folder(folder)) + name;
    make_picture(path, width, height);
    const std::string thumb = free_thumb_path(m_context.thumbs_dir, file_name(path, false));
    EXPECT_EQ(convert_image3(path, thumb, "", "100", false, 100, 0, false, "", "", 0), 0);
    m_records.push_back({path, thumb});
    return path;
}

void EditTest::show(const std::string& selection) {
    fill_thumbnail_grid(m_context);
    m_grid.set_SelectedItems(selection);
    m_grid.refreshes = 0;
    m_grid.filelist_writes = 0;
}

} // namespace orvix::test
