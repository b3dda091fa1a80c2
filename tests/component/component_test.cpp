#include "component/host.h"
#include "component/library.h"
#include "component/registry.h"
#include "component/site.h"

#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <sys/stat.h>

namespace orvix::component {
namespace {

constexpr const char* kEchoClass = "{7E57C0DE-0000-4000-8000-000000000001}";
constexpr const char* kEchoInterface = "{7E57C0DE-0000-4000-8000-000000000002}";
constexpr const char* kEchoTypeLib = "{7E57C0DE-0000-4000-8000-000000000003}";
constexpr const char* kOtherClass = "{7E57C0DE-0000-4000-8000-0000000000FF}";

std::string real(const char* path) {
    char resolved[PATH_MAX];
    return ::realpath(path, resolved) ? resolved : path;
}

class ComponentTest : public ::testing::Test {
protected:
    ComponentTest() { m_env.set("XDG_DATA_HOME", m_dir.folder("data")); }

    // A registration naming library for the class, as a foreign installer would leave it.
    void register_by_hand(const char* clsid, const std::string& library,
                          const char* interface_id = kEchoInterface) {
        ClassRecord record;
        record.clsid = clsid;
        record.library = library;
        record.interface_id = interface_id;
        ASSERT_EQ(write_class(record), ORVIX_S_OK);
    }

    Creation create(const char* clsid = kEchoClass, uint32_t version = 1) {
        return create_component(clsid, kEchoInterface, version, &m_site);
    }

    test::TempDir m_dir;
    test::ScopedEnv m_env;
    ScriptedDialogs m_dialogs;
    Site m_site{m_dialogs};
    const std::string m_echo = real(ECHO_COMPONENT);
};

TEST_F(ComponentTest, RegistersCreatesCallsAndUnregisters) {
    ASSERT_EQ(register_library(m_echo), ORVIX_S_OK);
    const std::string folder = m_dir.path() + "data/orvix/components/";
    EXPECT_EQ(registry_folder(), folder);

    const auto record = find_class(kEchoClass);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->progid, "ORVIXTEST.Echo.1");
    EXPECT_EQ(record->type_name, "Echo Test");
    EXPECT_EQ(record->threading_model, "Apartment");
    EXPECT_EQ(record->library, m_echo);
    EXPECT_EQ(record->typelib, kEchoTypeLib);
    EXPECT_EQ(record->typelib_version, "1.0");
    EXPECT_EQ(record->interface_id, kEchoInterface);
    EXPECT_EQ(record->misc_status, 0x20191u);
    const auto typelib = find_type_library(kEchoTypeLib);
    ASSERT_TRUE(typelib);
    EXPECT_EQ(typelib->version, "1.0");
    EXPECT_EQ(typelib->help_string, "Echo test module");
    EXPECT_EQ(typelib->library, m_echo);

    {
        // Lower-case identifiers name the same class.
        Creation creation =
            create_component("7e57c0de-0000-4000-8000-000000000001", kEchoInterface, 1, &m_site);
        ASSERT_EQ(creation.status, CreateStatus::Created) << describe(creation);
        Component& echo = *creation.component;
        EXPECT_EQ(echo.invoke(1, {"a \"b\"", "", "é;c"}), ORVIX_S_OK);
        ASSERT_EQ(m_dialogs.messages().size(), 1u);
        EXPECT_EQ(m_dialogs.messages()[0].text, "a \"b\"||é;c");
        EXPECT_EQ(m_dialogs.messages()[0].title, "Echo");
        EXPECT_EQ(m_dialogs.messages()[0].icon, Icon::Information);

        m_dialogs.queue_answer(Answer::No);
        EXPECT_EQ(echo.invoke(2, {}), ORVIX_S_FALSE);
        m_dialogs.queue_answer(Answer::Yes);
        EXPECT_EQ(echo.invoke(2, {}), ORVIX_S_OK);
        EXPECT_EQ(m_dialogs.messages()[1].buttons, Buttons::YesNo);
        EXPECT_EQ(echo.invoke(-552, {}), ORVIX_DISP_E_MEMBERNOTFOUND);
        EXPECT_TRUE(library_is_loaded(m_echo));
    }
    EXPECT_FALSE(library_is_loaded(m_echo)) << "the component's library stayed loaded";

    ASSERT_EQ(unregister_library(m_echo), ORVIX_S_OK);
    EXPECT_FALSE(std::filesystem::exists(folder + std::string(kEchoClass) + ".class"));
    EXPECT_FALSE(std::filesystem::exists(folder + std::string(kEchoTypeLib) + ".typelib"));
    EXPECT_EQ(create().status, CreateStatus::NotRegistered);
    // Unregistering what is not registered is no failure.
    EXPECT_EQ(unregister_library(m_echo), ORVIX_S_OK);
}

TEST_F(ComponentTest, AnswersWhetherItCanBeUnloaded) {
    ASSERT_EQ(register_library(m_echo), ORVIX_S_OK);
    SharedLibrary library(m_echo);
    const auto can_unload = library.function<orvix_can_unload_now_fn>(ORVIX_CAN_UNLOAD_NOW);
    ASSERT_NE(can_unload, nullptr);
    EXPECT_EQ(can_unload(), ORVIX_S_OK);
    {
        Creation creation = create();
        ASSERT_EQ(creation.status, CreateStatus::Created);
        EXPECT_EQ(can_unload(), ORVIX_S_FALSE);
    }
    EXPECT_EQ(can_unload(), ORVIX_S_OK);

    const auto get_class_object =
        library.function<orvix_get_class_object_fn>(ORVIX_GET_CLASS_OBJECT);
    orvix_class_factory* factory = nullptr;
    ASSERT_EQ(get_class_object(kEchoClass, &factory), ORVIX_S_OK);
    EXPECT_EQ(can_unload(), ORVIX_S_FALSE);
    factory->vtbl->lock_server(factory, 1);
    factory->vtbl->release(factory);
    EXPECT_EQ(can_unload(), ORVIX_S_FALSE) << "a server lock keeps the library";
    factory->vtbl->lock_server(factory, 0);
    EXPECT_EQ(can_unload(), ORVIX_S_OK);
    EXPECT_EQ(get_class_object(kOtherClass, &factory), ORVIX_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
}

struct Refusal {
    const char* label;
    CreateStatus status;
};

class ComponentRefusal : public ComponentTest, public ::testing::WithParamInterface<Refusal> {
protected:
    Creation attempt(const std::string& label) {
        if (label == "not_registered")
            return create();
        if (label == "missing_library") {
            register_by_hand(kEchoClass, m_dir.path() + "gone/libecho.so");
            return create();
        }
        if (label == "not_a_library") {
            const std::string text = m_dir.file("libtext.so");
            test::write_file(text, "not an ELF file");
            register_by_hand(kEchoClass, text);
            return create();
        }
        if (label == "relative_path") {
            register_by_hand(kEchoClass, "libecho.so");
            return create();
        }
        if (label == "no_entry_point") {
            register_by_hand(kEchoClass, real(NO_ENTRY_LIBRARY));
            return create();
        }
        if (label == "class_not_served") {
            register_by_hand(kOtherClass, m_echo);
            return create(kOtherClass);
        }
        if (label == "wrong_interface_version") {
            EXPECT_EQ(register_library(m_echo), ORVIX_S_OK);
            return create(kEchoClass, 2);
        }
        if (label == "old_factory_layout") {
            register_by_hand(kEchoClass, real(OLD_FACTORY_COMPONENT));
            return create();
        }
        if (label == "other_interface") {
            EXPECT_EQ(register_library(m_echo), ORVIX_S_OK);
            return create_component(kEchoClass, kOtherClass, 1, &m_site);
        }
        ADD_FAILURE() << label;
        return {};
    }
};

TEST_P(ComponentRefusal, IsRefusedCleanly) {
    const Refusal& c = GetParam();
    const Creation creation = attempt(c.label);
    EXPECT_EQ(creation.status, c.status);
    EXPECT_EQ(creation.component, nullptr);
    EXPECT_FALSE(describe(creation).empty());
    EXPECT_FALSE(library_is_loaded(m_echo));
    EXPECT_FALSE(library_is_loaded(real(NO_ENTRY_LIBRARY)));
    EXPECT_FALSE(library_is_loaded(real(OLD_FACTORY_COMPONENT)));
    EXPECT_TRUE(m_dialogs.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ComponentRefusal,
    ::testing::Values(Refusal{"not_registered", CreateStatus::NotRegistered},
                      Refusal{"missing_library", CreateStatus::LibraryNotLoaded},
                      Refusal{"not_a_library", CreateStatus::LibraryNotLoaded},
                      Refusal{"relative_path", CreateStatus::LibraryNotLoaded},
                      Refusal{"no_entry_point", CreateStatus::NoEntryPoint},
                      Refusal{"class_not_served", CreateStatus::ClassNotAvailable},
                      Refusal{"wrong_interface_version", CreateStatus::WrongVersion},
                      Refusal{"old_factory_layout", CreateStatus::WrongVersion},
                      Refusal{"other_interface", CreateStatus::NoInterface}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.label); });

TEST_F(ComponentTest, RegistrationFailuresGiveTheirCodes) {
    const std::string components = m_dir.path() + "data/orvix/components/";
    // The type library's file cannot be written where a folder stands in its way.
    std::filesystem::create_directories(components + kEchoTypeLib + ".typelib/x");
    EXPECT_EQ(register_library(m_echo), ORVIX_SELFREG_E_TYPELIB);
    EXPECT_FALSE(find_class(kEchoClass));
    EXPECT_EQ(unregister_library(m_echo), ORVIX_SELFREG_E_TYPELIB);
    std::filesystem::remove_all(components);

    std::filesystem::create_directories(components + kEchoClass + ".class/x");
    EXPECT_EQ(register_library(m_echo), ORVIX_SELFREG_E_CLASS);
    EXPECT_EQ(unregister_library(m_echo), ORVIX_SELFREG_E_CLASS);
    std::filesystem::remove_all(components);

    // No data folder at all: a file stands where it would be made.
    test::write_file(m_dir.path() + "blocked", "");
    m_env.set("XDG_DATA_HOME", m_dir.path() + "blocked");
    EXPECT_EQ(register_library(m_echo), ORVIX_SELFREG_E_TYPELIB);

    // A library that cannot be loaded registers nothing.
    EXPECT_EQ(register_library(m_dir.path() + "none.so"), ORVIX_E_FAIL);
    EXPECT_EQ(register_library(real(NO_ENTRY_LIBRARY)), ORVIX_E_FAIL);
}

TEST_F(ComponentTest, RefusesValuesThatWouldForgeLines) {
    ClassRecord record;
    record.clsid = kEchoClass;
    record.library = "/lib/x.so\nlibrary=/tmp/evil.so";
    EXPECT_EQ(write_class(record), ORVIX_SELFREG_E_CLASS);
    EXPECT_FALSE(find_class(kEchoClass));
}

TEST_F(ComponentTest, RegistersTheBundledLibraryOnlyWhenNeeded) {
    EXPECT_TRUE(ensure_registered(kEchoClass, m_echo));
    EXPECT_EQ(find_class(kEchoClass)->library, m_echo);

    // A registration naming another library that exists is left as it is.
    const std::string other = real(OLD_FACTORY_COMPONENT);
    register_by_hand(kEchoClass, other);
    EXPECT_TRUE(ensure_registered(kEchoClass, m_echo));
    EXPECT_EQ(find_class(kEchoClass)->library, other);

    // One naming a library that has gone is mended.
    register_by_hand(kEchoClass, m_dir.path() + "moved.so");
    EXPECT_TRUE(ensure_registered(kEchoClass, m_echo));
    EXPECT_EQ(find_class(kEchoClass)->library, m_echo);

    EXPECT_FALSE(ensure_registered(kOtherClass, m_echo)) << "the library does not serve it";
}

// Another installation's registration must not put its build into this program.
TEST_F(ComponentTest, TheShippedLibraryWinsOverAnotherRegistration) {
    const std::string shipped = m_dir.folder("program/lib") + "echo.so";
    std::filesystem::copy_file(m_echo, shipped);
    register_by_hand(kEchoClass, m_echo);
    {
        const Creation creation =
            create_shipped_component(kEchoClass, shipped, kEchoInterface, 1, &m_site);
        ASSERT_EQ(creation.status, CreateStatus::Created) << describe(creation);
        EXPECT_EQ(creation.detail, shipped);
        EXPECT_TRUE(library_is_loaded(shipped));
        EXPECT_FALSE(library_is_loaded(m_echo)) << "the registered copy was loaded";
        EXPECT_EQ(creation.component->invoke(1, {"a"}), ORVIX_S_OK);
    }
    EXPECT_EQ(find_class(kEchoClass)->library, m_echo) << "the other registration stays";

    // Without a shipped library the registration decides.
    std::filesystem::remove(shipped);
    const Creation registered =
        create_shipped_component(kEchoClass, shipped, kEchoInterface, 1, &m_site);
    ASSERT_EQ(registered.status, CreateStatus::Created) << describe(registered);
    EXPECT_EQ(registered.detail, m_echo);
}

struct IdentifierCase {
    const char* label;
    const char* text;
    const char* canonical;
};

class Identifiers : public ::testing::TestWithParam<IdentifierCase> {};

TEST_P(Identifiers, AreCanonicalOrRefused) {
    EXPECT_EQ(canonical_identifier(GetParam().text), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, Identifiers,
    ::testing::Values(IdentifierCase{"braced", "{3D4880C5-B41D-11D4-B0E7-201C58C10000}",
                                     "{3D4880C5-B41D-11D4-B0E7-201C58C10000}"},
                      IdentifierCase{"lower_case_bare", "3d4880c5-b41d-11d4-b0e7-201c58c10000",
                                     "{3D4880C5-B41D-11D4-B0E7-201C58C10000}"},
                      IdentifierCase{"path", "../../../../../../etc/passwd-0000", ""},
                      IdentifierCase{"dash_misplaced", "{3D4880C5B-41D-11D4-B0E7-201C58C10000}",
                                     ""},
                      IdentifierCase{"not_hex", "{3D4880C5-B41D-11D4-B0E7-201C58C1000G}", ""},
                      IdentifierCase{"one_brace", "{3D4880C5-B41D-11D4-B0E7-201C58C10000", ""},
                      IdentifierCase{"empty", "", ""}),
    [](const ::testing::TestParamInfo<IdentifierCase>& info) {
        return std::string(info.param.label);
    });

TEST(XdgFolders, TheRegistryLiesInTheUsersDataFolder) {
    test::ScopedEnv env;
    env.set("HOME", "/home/someone");
    env.set("XDG_DATA_HOME", "relative/data");
    EXPECT_EQ(registry_folder(), "/home/someone/.local/share/orvix/components/");
    env.set("XDG_DATA_HOME", "/var/data/me");
    EXPECT_EQ(registry_folder(), "/var/data/me/orvix/components/");
}

} // namespace
} // namespace orvix::component
