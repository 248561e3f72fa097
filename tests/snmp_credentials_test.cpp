// The credentials file: what it may hold, who may read it, and errors that never show a secret.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/snmp/credentials.h"
#include "runtime/snmp/settings.h"
#include "runtime/snmp/usm_keys.h"
#include "support/fresh_state.h"
#include "support/test_support.h"

using namespace snmp;
using testing_support::TempDir;

using FileSettings = std::vector<std::pair<std::string, std::string>>;

TEST(CredentialsTest, FilesAreReadOrRefusedClearly) {
    struct Case {
        const char* name;
        std::string contents;
        mode_t mode;
        const char* error;  // a part of the message, or null
        FileSettings settings;
        bool another_users = false;  // owned by nobody (needs root to arrange)
    };
    const Case cases[] = {
        {"names, comments and blank lines",
         "# for the core router\n\nZORVSNMP_SECURITY_NAME=ops\n  ZORVSNMP_AUTH_PASSPHRASE "
         "=a b=c # d\r\n\t\nZORVSNMP_PRIV_PASSPHRASE=",
         0600,
         nullptr,
         {{"ZORVSNMP_SECURITY_NAME", "ops"},
          {"ZORVSNMP_AUTH_PASSPHRASE", "a b=c # d"},
          {"ZORVSNMP_PRIV_PASSPHRASE", ""}}},
        {"owner read only", "ZORVSNMP_CONTEXT=x\n", 0400, nullptr, {{"ZORVSNMP_CONTEXT", "x"}}},
        {"group readable", "ZORVSNMP_CONTEXT=x\n", 0640, "by others than its owner", {}},
        {"world writable", "ZORVSNMP_CONTEXT=x\n", 0602, "by others than its owner", {}},
        {"line without '='",
         "ZORVSNMP_CONTEXT=x\nhunter2secret\n",
         0600,
         "line 2: is not name=value",
         {}},
        {"unknown name", "ZORVSNMP_PORT=161\n", 0600, "line 1: names an unknown setting", {}},
        {"name given twice",
         "ZORVSNMP_CONTEXT=a\nZORVSNMP_CONTEXT=b\n",
         0600,
         "line 2: sets the same name twice",
         {}},
        {"NUL byte", std::string("ZORVSNMP_CONTEXT=a\0b\n", 21), 0600, "holds a NUL byte", {}},
        {"too large", std::string(70000, '#'), 0600, "larger than 64 KiB", {}},
        {"another user's", "ZORVSNMP_CONTEXT=x\n", 0600, "belongs to another user", {}, true},
    };
    TempDir dir;
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir.file("credentials" + std::to_string(++n));
        testing_support::write_file(path, c.contents);
        chmod(path.c_str(), c.mode);
        if (c.another_users && (geteuid() != 0 || chown(path.c_str(), 65534, 65534) != 0)) {
            continue;
        }
        Credentials read;
        std::string error;
        const bool ok = read_credentials(path.c_str(), kCredentialSettings, read, error);
        if (!c.error) {
            EXPECT_TRUE(ok) << error;
            EXPECT_EQ(read.settings, c.settings);
            continue;
        }
        EXPECT_FALSE(ok);
        EXPECT_TRUE(read.settings.empty());
        EXPECT_NE(error.find(path), std::string::npos) << error;
        EXPECT_NE(error.find(c.error), std::string::npos) << error;
        EXPECT_EQ(error.find("hunter2"), std::string::npos) << error;
    }
}

TEST(CredentialsTest, OnlyARegularFileWillDo) {
    TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string target = dir.file("real");
    testing_support::write_file(target, "ZORVSNMP_CONTEXT=x\n");
    chmod(target.c_str(), 0600);
    const std::string link = dir.file("link");
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    struct Case {
        std::string path;
        const char* error;
    };
    const Case cases[] = {
        {fifo, "is not a regular file"},  // and no wait for a writer
        {dir.path().string(), "is not a regular file"},
        {dir.file("missing"), "cannot be opened"},
        {link, nullptr},  // the file it names is what counts
    };
    for (const Case& c : cases) {
        Credentials read;
        std::string error;
        const bool ok = read_credentials(c.path.c_str(), kCredentialSettings, read, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.path << ": " << error;
        if (c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << error;
        }
    }
}

TEST(CredentialsTest, SettingsTakeTheFileAndTheLevelFollowsTheSecrets) {
    using Env = std::vector<std::pair<const char*, const char*>>;
    const Env user = {{"ZORVSNMP_VERSION", "3"}, {"ZORVSNMP_SECURITY_NAME", "ops"}};
    const Env auth = {{"ZORVSNMP_AUTH_PROTOCOL", "SHA"}, {"ZORVSNMP_AUTH_PASSPHRASE", "auth-pass"}};
    const Env priv = {{"ZORVSNMP_PRIV_PROTOCOL", "AES"}, {"ZORVSNMP_PRIV_PASSPHRASE", "priv-pass"}};
    const std::string file_user =
        "ZORVSNMP_VERSION=3\nZORVSNMP_SECURITY_NAME=ops\nZORVSNMP_AUTH_PROTOCOL=SHA512\n"
        "ZORVSNMP_AUTH_PASSPHRASE=file-pass\n";
    struct Case {
        const char* what;
        std::vector<Env> env;
        std::string file;  // empty: none
        mode_t mode;
        SecurityLevel level;
        const char* error;  // a part of the message, or null
    };
    const Case cases[] = {
        {"both passphrases", {user, auth, priv}, "", 0, SecurityLevel::kAuthPriv, nullptr},
        {"authentication only", {user, auth}, "", 0, SecurityLevel::kAuthNoPriv, nullptr},
        {"no passphrase", {user}, "", 0, SecurityLevel::kNoAuthNoPriv, nullptr},
        {"a lower level asked for",
         {user, auth, {{"ZORVSNMP_SECURITY_LEVEL", "noAuthNoPriv"}}},
         "",
         0,
         SecurityLevel::kNoAuthNoPriv,
         nullptr},
        {"everything from the file", {}, file_user, 0600, SecurityLevel::kAuthNoPriv, nullptr},
        {"the file and the environment both set one",
         {{{"ZORVSNMP_AUTH_PASSPHRASE", "env-pass1"}}},
         file_user,
         0600,
         SecurityLevel::kNoAuthNoPriv,
         "ZORVSNMP_AUTH_PASSPHRASE is set both in the environment and in the credentials file"},
        {"a file the group may read",
         {},
         file_user,
         0640,
         SecurityLevel::kNoAuthNoPriv,
         "can be read or written by others than its owner (chmod 600 it)"},
    };
    TempDir dir;
    const std::string path = dir.file("credentials");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testing_support::reset_library_state();
        for (const Env& group : c.env) {
            for (const auto& [name, value] : group) setenv(name, value, 1);
        }
        if (!c.file.empty()) {
            testing_support::write_file(path, c.file);
            chmod(path.c_str(), c.mode);
            setenv("ZORVSNMP_CREDENTIALS", path.c_str(), 1);
        }
        const snmp::Settings& s = snmp::settings();
        if (c.error) {
            EXPECT_NE(s.invalid.find(c.error), std::string::npos) << s.invalid;
            EXPECT_EQ(s.invalid.find("-pass"), std::string::npos) << s.invalid;
            continue;
        }
        EXPECT_EQ(s.invalid, "");
        EXPECT_EQ(s.version, snmp::kVersion3);
        EXPECT_EQ(s.user.name, "ops");
        EXPECT_EQ(s.user.level, c.level);
        // Only the passphrases' keys are kept.
        EXPECT_EQ(s.user.auth_passphrase, "");
        EXPECT_EQ(s.user.priv_passphrase, "");
        if (!c.file.empty()) {
            snmp::SecretBytes key;
            ASSERT_TRUE(snmp::password_to_key(snmp::Hash::kSha512, "file-pass", key));
            EXPECT_TRUE(std::ranges::equal(s.user_keys.auth.view(), key.view()));
        }
    }
    testing_support::reset_library_state();
}
