// Stands in for a desktop mail program in tests. Installed under the name of the client it
// plays (thunderbird, evolution or claws-mail), it reads its arguments the way that client
// does and appends what its compose window would show to the file named by
// ORVIX_FAKE_MAIL_LOG: one line a mail, each field as "<length>:<name>=<value>", with names
// to, cc, bcc, subject, body, attach (a file it could read) and missing (a file it could not
// find, which the client reports in a box of its own).
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <utility>
#include <vector>

namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;

std::string decoded(const std::string& text) {
    std::string result;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            result += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// An address list as mail clients read it: commas inside a quoted display name or inside
// angle brackets do not separate.
std::vector<std::string> addresses(const std::string& list) {
    std::vector<std::string> result;
    std::string current;
    bool quoted = false;
    bool angle = false;
    for (size_t i = 0; i < list.size(); ++i) {
        const char c = list[i];
        if (quoted && c == '\\' && i + 1 < list.size()) {
            current += c;
            current += list[++i];
            continue;
        }
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && c == '<')
            angle = true;
        else if (!quoted && c == '>')
            angle = false;
        if (c == ',' && !quoted && !angle) {
            if (!trimmed(current).empty())
                result.push_back(trimmed(current));
            current.clear();
        } else {
            current += c;
        }
    }
    if (!trimmed(current).empty())
        result.push_back(trimmed(current));
    return result;
}

bool readable_file(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

void add_file(Fields& fields, std::string path) {
    if (path.rfind("file://", 0) == 0)
        path = decoded(path.substr(7));
    fields.emplace_back(readable_file(path) ? "attach" : "missing", path);
}

void add_addresses(Fields& fields, const char* name, const std::string& list) {
    for (const std::string& address : addresses(list))
        fields.emplace_back(name, address);
}

// A mailto link's path and query fields, decoded.
struct Link {
    std::string path;
    Fields query;
};

Link parse_link(const std::string& url) {
    Link link;
    const std::string rest = url.rfind("mailto:", 0) == 0 ? url.substr(7) : url;
    const size_t question = rest.find('?');
    link.path = decoded(rest.substr(0, question));
    if (question == std::string::npos)
        return link;
    size_t at = question + 1;
    while (at <= rest.size()) {
        size_t end = rest.find('&', at);
        if (end == std::string::npos)
            end = rest.size();
        const std::string field = rest.substr(at, end - at);
        const size_t equals = field.find('=');
        if (!field.empty())
            link.query.emplace_back(
                field.substr(0, equals),
                equals == std::string::npos ? "" : decoded(field.substr(equals + 1)));
        at = end + 1;
    }
    return link;
}

// Thunderbird's -compose "name=value,name='value',...": a quote opened right after '=' closes
// only before a ',' or at the end; unquoted values are URI-decoded; files are split at ','.
Fields thunderbird(int argc, char** argv) {
    Fields fields;
    if (argc < 3 || std::strcmp(argv[1], "-compose") != 0)
        return fields;
    const std::string data = argv[2];
    std::vector<std::string> pairs(1);
    char quote = 0;
    for (size_t i = 0; i < data.size(); ++i) {
        const char c = data[i];
        const char next = i + 1 < data.size() ? data[i + 1] : 0;
        const char previous = i > 0 ? data[i - 1] : 0;
        if (quote && c == quote && (next == ',' || next == 0)) {
            quote = 0;
            pairs.back() += c;
        } else if (!quote && (c == '\'' || c == '"') && previous == '=') {
            quote = c;
            pairs.back() += c;
        } else if (c == ',' && !quote) {
            pairs.emplace_back();
        } else {
            pairs.back() += c;
        }
    }
    for (const std::string& pair : pairs) {
        const size_t equals = pair.find('=');
        if (equals == std::string::npos)
            continue;
        const std::string name = pair.substr(0, equals);
        std::string value = pair.substr(equals + 1);
        if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'')
            value = value.substr(1, value.size() - 2);
        else
            value = decoded(value);
        if (name == "to" || name == "cc" || name == "bcc") {
            add_addresses(fields, name.c_str(), value);
        } else if (name == "subject" || name == "body") {
            fields.emplace_back(name, value);
        } else if (name == "attachment") {
            size_t at = 0;
            while (at <= value.size()) {
                size_t end = value.find(',', at);
                if (end == std::string::npos)
                    end = value.size();
                if (end > at)
                    add_file(fields, value.substr(at, end - at));
                at = end + 1;
            }
        }
    }
    return fields;
}

// Evolution opens the mailto link it is given, every attach field included.
Fields evolution(int argc, char** argv) {
    Fields fields;
    if (argc < 2)
        return fields;
    const Link link = parse_link(argv[argc - 1]);
    add_addresses(fields, "to", link.path);
    for (const auto& [name, value] : link.query) {
        if (name == "to" || name == "cc" || name == "bcc")
            add_addresses(fields, name.c_str(), value);
        else if (name == "subject" || name == "body")
            fields.emplace_back(name, value);
        else if (name == "attach" || name == "attachment")
            add_file(fields, value);
    }
    return fields;
}

// Claws Mail: --compose [link], --attach file... up to the next option, or a bare link.
// From a link it takes its one attach field (none when there are several) and the to fields
// only after an address in the link's path.
Fields claws_mail(int argc, char** argv) {
    Fields fields;
    std::string url;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--compose") {
            if (i + 1 < argc && argv[i + 1][0] != '\0' && argv[i + 1][0] != '-')
                url = argv[++i];
        } else if (arg == "--attach") {
            while (i + 1 < argc && argv[i + 1][0] != '\0' && argv[i + 1][0] != '-')
                files.push_back(argv[++i]);
        } else if (arg.rfind("mailto:", 0) == 0) {
            url = arg;
        }
    }
    const Link link = parse_link(url);
    add_addresses(fields, "to", link.path);
    std::vector<std::string> linked_files;
    for (const auto& [name, value] : link.query) {
        if (name == "to" && !link.path.empty())
            add_addresses(fields, "to", value);
        else if (name == "cc" || name == "bcc")
            add_addresses(fields, name.c_str(), value);
        else if (name == "subject" || name == "body")
            fields.emplace_back(name, value);
        else if (name == "attach")
            linked_files.push_back(value);
    }
    if (linked_files.size() == 1)
        files.insert(files.begin(), linked_files.front());
    for (const std::string& file : files)
        add_file(fields, file);
    return fields;
}

} // namespace

int main(int argc, char** argv) {
    const char* log = std::getenv("ORVIX_FAKE_MAIL_LOG");
    if (!log || argc < 1)
        return 4;
    std::string name = argv[0];
    name = name.substr(name.rfind('/') == std::string::npos ? 0 : name.rfind('/') + 1);
    Fields fields;
    if (name == "thunderbird")
        fields = thunderbird(argc, argv);
    else if (name == "evolution")
        fields = evolution(argc, argv);
    else if (name == "claws-mail")
        fields = claws_mail(argc, argv);
    else
        return 4;
    std::string record;
    for (const auto& [field, value] : fields) {
        const std::string item = field + "=" + value;
        record += std::to_string(item.size()) + ":" + item;
    }
    std::ofstream out(log, std::ios::binary | std::ios::app);
    out << record << '\n';
    return out ? 0 : 4;
}
