// The telvor tool's command line: table options registered with CLI11, readable parse errors and
// the shell completion scripts.
#include "tools/commandline.h"

#include <algorithm>
#include <sstream>

#include <CLI/CLI.hpp>

#include "tools/inputs.h"

void addTableOptions(CLI::App *app, const Subcommand &sub, Given &given) {
    for (const char *name : sub.options) {
        const OptionRule *o = findOption(name);
        if (!o) throw std::logic_error(std::string("no option '") + name + "' in the table");
        const std::string key = name;
        if (o->kind == OptionKind::Flag) {
            app->add_flag_callback(
                "--" + key, [&given, key] { given.flags.insert(key); }, helpText(*o, sub.years));
            continue;
        }
        app->add_option_function<std::string>(
               "--" + key, [&given, key](const std::string &v) { given.values[key] = v; },
               helpText(*o, sub.years))
            ->type_name(o->placeholder);
    }
}

namespace {

size_t editDistance(const std::string &a, const std::string &b) {
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

const Subcommand *findSubcommand(const std::string &name, const std::vector<Subcommand> &subs) {
    for (const Subcommand &s : subs)
        if (name == s.name) return &s;
    return nullptr;
}

std::string suggestion(const std::string &word, const std::vector<std::string> &names) {
    const std::string close = closestName(word, names);
    return close.empty() ? "" : " (did you mean " + quoteValue(close) + "?)";
}

// The words of an ExtrasError message after its colon (CLI11 lists them in reverse).
std::vector<std::string> extras(const std::string &message) {
    std::vector<std::string> words;
    const size_t colon = message.find(": ");
    std::istringstream in(colon == std::string::npos ? "" : message.substr(colon + 2));
    for (std::string w; in >> w;)
        words.push_back(w);
    std::reverse(words.begin(), words.end());
    return words;
}

} // namespace

std::string closestName(const std::string &word, const std::vector<std::string> &names) {
    std::string best;
    size_t bestDistance = 0;
    for (const std::string &n : names) {
        const size_t d = editDistance(word, n);
        if (best.empty() || d < bestDistance) best = n, bestDistance = d;
    }
    // A likely typo: a third of the name's letters at most, and at least one in common.
    const size_t allowed = std::max<size_t>(1, best.size() / 3);
    return !best.empty() && bestDistance <= allowed && bestDistance < best.size() ? best : "";
}

std::string parseErrorMessage(const CLI::ParseError &error, const std::vector<std::string> &args,
                              const std::vector<Subcommand> &subcommands) {
    std::vector<std::string> commandNames;
    for (const Subcommand &s : subcommands)
        commandNames.push_back(s.name);
    std::string commandList;
    for (const std::string &n : commandNames)
        commandList += (commandList.empty() ? "" : ", ") + n;

    // The subcommand is the first argument (the tool has no options of its own before it).
    const Subcommand *sub = nullptr;
    if (!args.empty() && !args[0].empty() && args[0][0] != '-') {
        sub = findSubcommand(args[0], subcommands);
        if (!sub)
            return "no command " + quoteValue(args[0]) + suggestion(args[0], commandNames) +
                   "; the commands are " + commandList;
    }
    const std::string what = error.what();
    const bool mismatch = dynamic_cast<const CLI::ArgumentMismatch *>(&error) != nullptr;
    if (!sub && !args.empty() && args[0].size() > 1 && args[0][0] == '-')
        return "unknown option " + quoteValue(args[0].substr(0, args[0].find('='))) +
               "; a command comes first: " + commandList;
    if (what.rfind("Could not convert: ", 0) == 0) {
        const std::string option = what.substr(19, what.find(' ', 19) - 19);
        if (option.rfind("--", 0) == 0) return option + " takes no value";
    }
    if (dynamic_cast<const CLI::RequiredError *>(&error) && !sub)
        return "a command is needed: " + commandList;
    if (mismatch && what.find(" missing") != std::string::npos) {
        const size_t colon = what.find(':');
        if (colon != std::string::npos && what.compare(0, 2, "--") == 0)
            return what.substr(0, colon) + " needs a value";
    }
    if (dynamic_cast<const CLI::ExtrasError *>(&error)) {
        std::vector<std::string> optionNames;
        if (sub)
            for (const char *o : sub->options)
                optionNames.push_back(std::string("--") + o);
        const std::vector<std::string> words = extras(what);
        for (const std::string &w : words) {
            if (w.size() < 2 || w[0] != '-') continue;
            const std::string option = w.substr(0, w.find('='));
            return "unknown option " + quoteValue(option) + suggestion(option, optionNames) +
                   (sub ? "" : "; a command comes first: " + commandList);
        }
        if (!words.empty()) return "unexpected argument " + quoteValue(words[0]);
    }
    if (mismatch || dynamic_cast<const CLI::ConversionError *>(&error)) {
        const size_t colon = what.find(':');
        if (colon != std::string::npos && what.compare(0, 2, "--") == 0)
            return what.substr(0, colon) + " takes one value, or none for a flag";
    }
    const size_t nl = what.find('\n');
    return what.substr(0, nl);
}

namespace {

std::string optionWords(const Subcommand &s) {
    std::string words;
    for (const char *o : s.options)
        words += std::string(words.empty() ? "" : " ") + "--" + o;
    return words + " --help";
}

std::string bashScript(const std::vector<Subcommand> &subs) {
    std::string commands;
    for (const Subcommand &s : subs)
        commands += std::string(commands.empty() ? "" : " ") + s.name;
    std::string out = "# bash completion for telvor\n"
                      "_telvor() {\n"
                      "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}\n"
                      "    if [ \"$COMP_CWORD\" -eq 1 ]; then\n"
                      "        COMPREPLY=($(compgen -W \"" +
                      commands +
                      " --help --version\" -- \"$cur\"))\n"
                      "        return\n"
                      "    fi\n"
                      "    case $prev in\n"
                      "    --batch|--out) COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n"
                      "    --frames) COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n"
                      "    --cumulative) COMPREPLY=($(compgen -W \"on off\" -- \"$cur\")); "
                      "return ;;\n"
                      "    esac\n"
                      "    local words\n"
                      "    case ${COMP_WORDS[1]} in\n";
    for (const Subcommand &s : subs)
        out += std::string("    ") + s.name + ") words=\"" + optionWords(s) + "\" ;;\n";
    out += "    *) words= ;;\n"
           "    esac\n"
           "    COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "}\n"
           "complete -F _telvor telvor\n";
    return out;
}

// Quotes text for a single-quoted shell word.
std::string shellQuoted(const std::string &text) {
    std::string out;
    for (char c : text)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out;
}

std::string zshScript(const std::vector<Subcommand> &subs) {
    std::string out = "#compdef telvor\n"
                      "# zsh completion for telvor\n"
                      "_telvor() {\n"
                      "    local -a commands\n"
                      "    commands=(\n";
    for (const Subcommand &s : subs) {
        std::string help = s.help;
        std::replace(help.begin(), help.end(), ':', ' ');
        out += std::string("        '") + s.name + ":" + shellQuoted(help) + "'\n";
    }
    out += "    )\n"
           "    if (( CURRENT == 2 )); then\n"
           "        _describe command commands\n"
           "        return\n"
           "    fi\n"
           "    case $words[2] in\n";
    for (const Subcommand &s : subs) {
        out += std::string("    ") + s.name + ")\n        _arguments";
        for (const char *name : s.options) {
            const OptionRule *o = findOption(name);
            std::string help = o->help;
            for (char &c : help)
                if (c == '[' || c == ']' || c == ':') c = ' ';
            out += std::string(" \\\n            '--") + name + "[" + shellQuoted(help) + "]";
            if (o->kind == OptionKind::File)
                out += ":file:_files";
            else if (o->kind == OptionKind::Folder)
                out += ":folder:_files -/";
            else if (o->kind == OptionKind::OnOff)
                out += ":state:(on off)";
            else if (o->kind != OptionKind::Flag)
                out += std::string(":") + o->placeholder + ": ";
            out += "'";
        }
        out += " ;;\n";
    }
    out += "    esac\n"
           "}\n"
           "_telvor \"$@\"\n";
    return out;
}

std::string fishScript(const std::vector<Subcommand> &subs) {
    std::string commands;
    for (const Subcommand &s : subs)
        commands += std::string(commands.empty() ? "" : " ") + s.name;
    std::string out = "# fish completion for telvor\n"
                      "complete -c telvor -f\n"
                      "complete -c telvor -s V -l version -d 'Print the version'\n";
    for (const Subcommand &s : subs)
        out += "complete -c telvor -n 'not __fish_seen_subcommand_from " + commands + "' -a " +
               s.name + " -d '" + shellQuoted(s.help) + "'\n";
    for (const Subcommand &s : subs)
        for (const char *name : s.options) {
            const OptionRule *o = findOption(name);
            out += std::string("complete -c telvor -n '__fish_seen_subcommand_from ") + s.name +
                   "' -l " + name;
            if (o->kind == OptionKind::File || o->kind == OptionKind::Folder)
                out += " -r -F";
            else if (o->kind == OptionKind::OnOff)
                out += " -x -a 'on off'";
            else if (o->kind != OptionKind::Flag)
                out += " -x";
            out += " -d '" + shellQuoted(o->help) + "'\n";
        }
    return out;
}

} // namespace

std::string completionScript(const std::string &shell, const std::vector<Subcommand> &subs) {
    if (shell == "bash") return bashScript(subs);
    if (shell == "zsh") return zshScript(subs);
    if (shell == "fish") return fishScript(subs);
    return "";
}
