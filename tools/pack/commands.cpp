#include "commands.h"

#include <stdio.h>

#include "dump.h"
#include "languages.h"
#include "fileio.h"
#include "lint.h"
#include "manifest.h"
#include "payload/writer.h"
#include "pe_exports.h"
#include "scan.h"
#include "stage_scan.h"

namespace packtool {

const char kUsage[] =
    "usage:\n"
    "  retrax-pack build MANIFEST.json --stub retrax.exe -o uninstall.exe [--define NAME=VALUE]...\n"
    "              [--force]\n"
    "  retrax-pack build MANIFEST.json --payload-only -o payload.bin [--define NAME=VALUE]...\n"
    "              [--force]\n"
    "  retrax-pack dump [--json] FILE\n"
    "  retrax-pack verify [--install-dir DIR] [--define NAME=VALUE]... [--stub PROGRAM]\n"
    "              MANIFEST.json|FILE\n"
    "  retrax-pack scan STAGED-FOLDER [--name NAME] [--language en|de|fr|es] [--install-dir DIR]\n"
    "              [--scope machine|user] [-o MANIFEST.json] [--force]\n"
    "  retrax-pack scan STAGED-FOLDER --update MANIFEST.json [-o NEW.json] [--force]\n"
    "  retrax-pack --help\n"
    "\n"
    "build   packs the manifest's payload behind a copy of the uninstaller program\n"
    "        (a payload already there is replaced), or writes the bare payload.\n"
    "        The manifest is verified first; errors stop the build unless --force\n"
    "        is given. The output appears complete or not at all. --define fills\n"
    "        each ${NAME} in the manifest's strings (values known only at install\n"
    "        time, such as the user's Start menu); an undefined one is an error.\n"
    "dump    shows the payload of a packed uninstaller or of a bare payload file,\n"
    "        chunk by chunk with byte offsets; --json for a machine-readable form.\n"
    "verify  reports what would make the uninstaller remove too much or too little\n"
    "        or show broken texts. --install-dir names the install folder that\n"
    "        relative paths are measured with (also the manifest key installDir).\n"
    "        build and verify check that the --stub program requests the level\n"
    "        the manifest's scope needs (machine: retrax.exe, user: retrax-user.exe).\n"
    "scan    writes a manifest listing every file and folder under a staged\n"
    "        installation folder, in the order that removes them all, with fonts\n"
    "        and self-registering libraries flagged, the language (default en) and\n"
    "        the messages naming NAME (default: the folder's name). Symbolic links\n"
    "        are not followed. To stdout, or to -o MANIFEST.json, which must not\n"
    "        exist yet unless --force is given; errors stop it unless --force.\n"
    "        --update MANIFEST.json scans a new version of the application into an\n"
    "        existing manifest (in place, or to -o): the file list is made afresh,\n"
    "        everything else the author wrote is kept.\n"
    "\n"
    "exit status: 0 done, 1 errors found or input unusable, 2 usage error.\n"
    "The manifest format is described in docs/manifest.md.\n";

namespace {

struct Options {
  std::string command;
  std::vector<std::string> inputs;
  std::string stub;
  std::string output;
  std::string installDir;
  std::string name;
  std::string language;
  std::string update;
  std::string scope;
  std::vector<pack::Define> defines;
  bool payloadOnly = false;
  bool force = false;
  bool json = false;
  bool help = false;
};

// "--define NAME=VALUE": NAME as a placeholder spells it.
bool AddDefine(const std::string& text, Options* options, std::string* error) {
  size_t equals = text.find('=');
  std::u16string name, value;
  bool ok = equals != std::string::npos && equals > 0 &&
            pack::FromUtf8(text.substr(0, equals), &name) &&
            pack::FromUtf8(text.substr(equals + 1), &value);
  for (char16_t c : name)
    ok = ok && ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') ||
                c == u'_');
  if (!ok) {
    *error = "--define needs NAME=VALUE (NAME of letters, digits and _), not \"" + text + "\"";
    return false;
  }
  for (pack::Define& define : options->defines)
    if (define.name == name) return define.value = value, true;
  options->defines.push_back(pack::Define{name, value});
  return true;
}

// Options with a value take it as the next argument or behind '='
// ("--stub=retrax.exe").
bool ParseOptions(const std::vector<std::string>& args, Options* options, std::string* error) {
  std::string define;
  const struct {
    const char* name;
    std::string* target;
  } valued[] = {{"--stub", &options->stub},           {"-o", &options->output},
                {"--output", &options->output},       {"--install-dir", &options->installDir},
                {"--name", &options->name},           {"--language", &options->language},
                {"--update", &options->update},       {"--define", &define},
                {"--scope", &options->scope}};
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    std::string* target = nullptr;
    std::string name = arg.substr(0, arg.find('='));
    for (const auto& option : valued)
      if (name == option.name) target = option.target;
    if (target) {
      if (name != arg) {
        *target = arg.substr(name.size() + 1);
      } else if (i + 1 < args.size()) {
        *target = args[++i];
      } else {
        *error = arg + " needs a value";
        return false;
      }
      if (target == &define && !AddDefine(define, options, error)) return false;
    } else if (arg == "--help" || arg == "-h" || arg == "help") {
      options->help = true;
    } else if (arg == "--payload-only") {
      options->payloadOnly = true;
    } else if (arg == "--force") {
      options->force = true;
    } else if (arg == "--json") {
      options->json = true;
    } else if (arg.size() > 1 && arg[0] == '-') {
      *error = "unknown option " + arg;
      return false;
    } else if (options->command.empty()) {
      options->command = arg;
    } else {
      options->inputs.push_back(arg);
    }
  }
  return true;
}

// At most this many findings are listed; a count stands for the rest.
const size_t kListedFindings = 50;

std::string FormatFindings(const std::string& input, const std::vector<Finding>& findings) {
  std::string text;
  for (size_t i = 0; i < findings.size() && i < kListedFindings; ++i) {
    const Finding& f = findings[i];
    text += input + ": " + f.where + ": " + (f.error ? "error: " : "warning: ") + f.text + "\n";
  }
  if (findings.size() > kListedFindings) {
    size_t errors = 0;
    for (size_t i = kListedFindings; i < findings.size(); ++i) errors += findings[i].error;
    text += input + ": ... and " + std::to_string(findings.size() - kListedFindings) +
            " more (" + std::to_string(errors) + " of them errors) not listed\n";
  }
  return text;
}

std::string Count(size_t n, const char* one, const char* many = nullptr) {
  return std::to_string(n) + " " + (n == 1 ? one : many ? many : std::string(one) + "s");
}

enum InputKind { INPUT_MANIFEST, INPUT_BUILT, INPUT_OTHER };

// What a file is, by its content alone (never by its name): a manifest is
// JSON text, a built file a program (MZ) or a payload (a chunk tag first).
// For anything else, why it is neither.
InputKind KindOf(const pack::Bytes& data, std::string* why) {
  size_t i = 0;
  if (data.size() >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) i = 3;
  while (i < data.size() &&
         (data[i] == ' ' || data[i] == '\t' || data[i] == '\r' || data[i] == '\n'))
    ++i;
  if (i < data.size() && (data[i] == '{' || data[i] == '[')) return INPUT_MANIFEST;
  if (data.size() >= 2 && data[0] == 'M' && data[1] == 'Z') return INPUT_BUILT;
  uint16_t tag = data.size() >= 2 ? (uint16_t)(data[0] | (data[1] << 8)) : 0;
  if (data.size() >= 2 && ((tag >= CHUNK_MESSAGES && tag <= CHUNK_OPAQUE) || tag == CHUNK_END))
    return INPUT_BUILT;
  bool utf16 = data.size() >= 2 && ((data[0] == 0xFF && data[1] == 0xFE) ||
                                    (data[0] == 0xFE && data[1] == 0xFF) ||
                                    (data[0] == '{' && data[1] == 0) || (data[0] == 0 && data[1] == '{'));
  *why = data.empty() ? "the file is empty: neither a manifest nor a built uninstaller"
         : utf16      ? "UTF-16 text: save the manifest as UTF-8"
                      : "neither a manifest (JSON text) nor a Retrax uninstaller or payload";
  return INPUT_OTHER;
}

bool LoadManifest(const std::string& path, const pack::Bytes& data, Manifest* manifest,
                  std::string* err, const std::vector<pack::Define>* defines) {
  std::string text(data.begin(), data.end());
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  std::string error;
  if (!ParseManifest(text, FolderOf(path), manifest, &error, defines)) {
    *err += path + ": " + error + "\n";
    return false;
  }
  return true;
}

bool ApplyInstallDir(const Options& options, LintModel* model, std::string* err) {
  if (options.installDir.empty()) {
    model->installDirAssumed = model->installDir.empty();
    return true;
  }
  if (!pack::FromUtf8(options.installDir, &model->installDir)) {
    *err += "--install-dir is not valid UTF-8\n";
    return false;
  }
  return true;
}

// Whether the program given with --stub requests the execution level the
// scope needs; the mismatch is an error, a level that cannot be read a
// warning.
bool StubFits(const Options& options, const pack::Bytes& stub, Scope scope, std::string* err) {
  PeManifestLevel found = FindPeManifestLevel(stub);
  if (found.verdict == PeExportCheck::DAMAGED) {
    *err += "--stub " + options.stub + ": warning: the manifest resource cannot be read (" +
            found.problem + ")\n";
    return true;
  }
  bool error = false;
  std::string problem = StubLevelProblem(scope, found.hasManifest, found.level, &error);
  if (!problem.empty())
    *err += "--stub " + options.stub + ": " + (error ? "" : "warning: ") + problem + "\n";
  return !error;
}

int Build(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1 || options.output.empty() ||
      options.payloadOnly == !options.stub.empty()) {
    *err += "build needs one manifest, -o OUTPUT and either --stub PROGRAM or --payload-only\n";
    return EXIT_USAGE;
  }
  const std::string& path = options.inputs[0];
  pack::Bytes data;
  std::string error;
  Manifest manifest;
  // Writing over an input would destroy it (a manifest replaced by a
  // program); a stub that is also the output is re-packed in place, the
  // way an uninstall.exe is updated.
  if (SameFile(options.output, path)) {
    *err += options.output + ": is the manifest itself; give another -o\n";
    return EXIT_USAGE;
  }
  if (!ReadWholeFile(path, &data, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  std::string why;
  if (KindOf(data, &why) != INPUT_MANIFEST) {
    *err += path + ": " + (why.empty() ? "a built file, not a manifest" : why) + "\n";
    return EXIT_FAILED;
  }
  if (!LoadManifest(path, data, &manifest, err, &options.defines)) return EXIT_FAILED;

  LintModel model = LintModelOf(manifest);
  if (!ApplyInstallDir(options, &model, err)) return EXIT_USAGE;
  std::vector<Finding> findings;
  LintPayload(model, &findings);
  *err += FormatFindings(path, findings);
  size_t errors = CountErrors(findings);
  if (errors && !options.force) {
    *err += path + ": " + Count(errors, "error") + "; nothing written (--force writes anyway)\n";
    return EXIT_FAILED;
  }
  // Even --force does not write what the uninstaller's reader would refuse.
  if (!pack::ValidatePayload(manifest.payload, &error)) {
    *err += path + ": " + error + "; nothing written\n";
    return EXIT_FAILED;
  }
  pack::Bytes payload = pack::EncodePayload(manifest.payload);
  pack::Bytes result;
  if (options.payloadOnly) {
    result = payload;
  } else {
    pack::Bytes stub;
    if (!ReadWholeFile(options.stub, &stub, &error)) {
      *err += "--stub " + error + "\n";
      return EXIT_FAILED;
    }
    if (stub.size() < 2 || stub[0] != 'M' || stub[1] != 'Z') {
      *err += "--stub " + options.stub +
              ": not a Windows program; give the retrax.exe that ships with Retrax\n";
      return EXIT_FAILED;
    }
    if (!StubFits(options, stub, manifest.scope, err) && !options.force) {
      *err += "--stub " + options.stub + ": nothing written (--force writes anyway)\n";
      return EXIT_FAILED;
    }
    if (!pack::AttachPayload(stub, payload, &result, &error)) {
      *err += "--stub " + options.stub + ": " + error + "; give the retrax.exe that ships with Retrax\n";
      return EXIT_FAILED;
    }
  }
  if (!WriteFileAtomically(options.output, result, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  const pack::Payload& p = manifest.payload;
  *out += "wrote " + options.output + ": " +
          (options.payloadOnly
               ? ""
               : std::to_string(result.size() - payload.size()) + " bytes of program, ") +
          std::to_string(payload.size()) + " bytes of payload (" + Count(p.files.size(), "file") +
          ", " + Count(p.shortcuts.size(), "shortcut") + ", " +
          Count(p.registry.size(), "registry entry", "registry entries") + ", " +
          Count(p.folderTrees.size(), "folder tree") + ", " + Count(p.messages.size(), "message") +
          (p.hasExtension ? ", extension library" : "") + ")\n";
  return EXIT_DONE;
}

int Dump(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1) {
    *err += "dump needs one file\n";
    return EXIT_USAGE;
  }
  const std::string& path = options.inputs[0];
  pack::Bytes data;
  std::string error;
  if (!ReadWholeFile(path, &data, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  std::string why;
  InputKind kind = KindOf(data, &why);
  if (kind != INPUT_BUILT) {
    *err += path + ": " +
            (kind == INPUT_MANIFEST ? "a manifest, not a built file; dump shows packed "
                                      "uninstallers and payloads (verify checks manifests)"
                                    : why) +
            "\n";
    return EXIT_FAILED;
  }
  PayloadScan scan = ScanPayloadFile(data);
  *out += options.json ? DumpJson(path, scan) : DumpText(path, scan);
  return DumpSucceeded(scan) ? EXIT_DONE : EXIT_FAILED;
}

int Verify(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1) {
    *err += "verify needs one manifest or payload file\n";
    return EXIT_USAGE;
  }
  const std::string& path = options.inputs[0];
  pack::Bytes data;
  std::string error;
  if (!ReadWholeFile(path, &data, &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  std::vector<Finding> findings;
  LintModel model;
  std::string why;
  InputKind kind = KindOf(data, &why);
  if (kind == INPUT_OTHER) {
    *err += path + ": " + why + "\n";
    return EXIT_FAILED;
  }
  if (kind == INPUT_MANIFEST) {
    Manifest manifest;
    if (!LoadManifest(path, data, &manifest, err, &options.defines)) return EXIT_FAILED;
    model = LintModelOf(manifest);
  } else {
    model = LintModelOf(ScanPayloadFile(data), &findings);
  }
  if (!ApplyInstallDir(options, &model, err)) return EXIT_USAGE;
  bool stubFits = true;
  if (!options.stub.empty()) {
    pack::Bytes stub;
    if (!ReadWholeFile(options.stub, &stub, &error)) {
      *err += "--stub " + error + "\n";
      return EXIT_FAILED;
    }
    stubFits = StubFits(options, stub, model.scope == SCOPE_USER ? SCOPE_USER : SCOPE_MACHINE, err);
  }
  LintPayload(model, &findings);
  *out += FormatFindings(path, findings);
  if (model.installDirAssumed)
    *out += path + ": paths inside the install folder were measured with " +
            pack::ToUtf8(InstallDirOf(model)) + ", as none was given (--install-dir names yours)\n";
  // The stub's level mismatch counts with the manifest's errors.
  size_t errors = CountErrors(findings);
  *out += path + ": " + Count(errors + !stubFits, "error") + ", " +
          Count(findings.size() - errors, "warning") + "\n";
  return errors || !stubFits ? EXIT_FAILED : EXIT_DONE;
}

// Lists of entries, at most kListedFindings lines.
std::string ListedEntries(const std::string& label, const char* what,
                          const std::vector<std::string>& entries) {
  std::string text;
  for (size_t i = 0; i < entries.size() && i < kListedFindings; ++i)
    text += label + ": " + what + " " + entries[i] + "\n";
  if (entries.size() > kListedFindings)
    text += label + ": ... and " + std::to_string(entries.size() - kListedFindings) + " more " +
            what + "\n";
  return text;
}

// The manifest goes to stdout (or -o); everything said about it to
// stderr, so that `scan DIR > app.json` gives a clean file.
int Scan(const Options& options, std::string* out, std::string* err) {
  if (options.inputs.size() != 1) {
    *err += "scan needs one staged installation folder\n";
    return EXIT_USAGE;
  }
  const std::string& root = options.inputs[0];
  const std::string name = options.name.empty() ? DefaultApplicationName(root) : options.name;
  const std::string language = options.language.empty() ? "en" : options.language;
  if (!options.scope.empty() && options.scope != "machine" && options.scope != "user") {
    *err += "--scope: \"" + options.scope + "\" is neither machine nor user\n";
    return EXIT_USAGE;
  }
  const bool user = options.scope == "user";
  // A per-user application lives in the user's local application data.
  const std::string typical = user ? "C:\\Users\\User\\AppData\\Local\\" : "C:\\Program Files\\";
  std::u16string installDir, ignored;
  if (!pack::FromUtf8(options.installDir.empty() ? typical + name + "\\" : options.installDir,
                      &installDir) ||
      !pack::FromUtf8(name, &ignored)) {
    *err += "--name and --install-dir must be valid UTF-8\n";
    return EXIT_USAGE;
  }
  if (!IsShippedScanLanguage(language)) {
    *err += "--language: unknown language \"" + language + "\" (known: " + ShippedLanguageNames() +
            ")\n";
    return EXIT_USAGE;
  }
  if (!options.update.empty() && (!options.name.empty() || !options.language.empty() ||
                                  !options.installDir.empty() || !options.scope.empty())) {
    *err += "scan --update keeps the manifest's own name, language, installDir and scope; leave "
            "out --name, --language, --install-dir and --scope\n";
    return EXIT_USAGE;
  }
  if (installDir.empty() || installDir.back() != u'\\') installDir.push_back(u'\\');
  // A manifest the author has edited is never replaced by a fresh scan
  // unasked: --update keeps the edits, --force throws them away.
  const std::string target = options.output.empty() ? options.update : options.output;
  if (!target.empty() && !options.force && FileExists(target) &&
      (options.update.empty() || !SameFile(target, options.update))) {
    *err += target + ": exists already; scan " + root + " --update " + target +
            " keeps its edits (--force replaces it)\n";
    return EXIT_FAILED;
  }

  StageScan scan = ScanStagedFolder(root);
  *err += FormatFindings(root, scan.findings);
  std::string text, error;
  std::vector<std::string> added, gone;
  if (options.update.empty()) {
    text = StageManifestText(scan, name, installDir, language, user);
  } else {
    pack::Bytes old;
    if (!ReadWholeFile(options.update, &old, &error)) {
      *err += error + "\n";
      return EXIT_FAILED;
    }
    std::string oldText(old.begin(), old.end());
    if (oldText.compare(0, 3, "\xEF\xBB\xBF") == 0) oldText.erase(0, 3);
    if (!UpdateManifestText(oldText, FolderOf(options.update), scan, &text, &added, &gone,
                            &error)) {
      *err += options.update + ": " + error + "\n";
      return EXIT_FAILED;
    }
  }

  // The manifest's own checks, as build will make them; a finding names the
  // staged file behind the entry. An updated manifest is checked for its
  // new file list only: its other entries may hold placeholders that only
  // build's --define fills in.
  const std::string label = target.empty() ? "manifest" : target;
  Manifest manifest;
  if (!ParseManifest(text, FolderOf(label), &manifest, &error)) {
    *err += label + ": " + error + "\n";
    return EXIT_FAILED;
  }
  std::vector<Finding> findings;
  if (options.update.empty())
    LintPayload(LintModelOf(manifest), &findings);
  else
    LintFiles(LintModelOf(manifest), &findings);
  for (Finding& finding : findings) {
    unsigned long index = 0;
    if (sscanf(finding.where.c_str(), "files[%lu]", &index) == 1 && index < scan.items.size())
      finding.where += " (" + scan.items[index].hostPath + ")";
  }
  *err += FormatFindings(label, findings);
  size_t errors = CountErrors(scan.findings) + CountErrors(findings);
  if (errors && !options.force) {
    *err += root + ": " + Count(errors, "error") + "; nothing written (--force writes anyway)\n";
    return EXIT_FAILED;
  }
  std::string summary = Count(scan.files, "file") + " and " + Count(scan.folders, "folder") +
                        " (" + Count(scan.fonts, "font") + ", " +
                        Count(scan.components, "self-registering library",
                              "self-registering libraries") +
                        ")";
  if (!options.update.empty())
    summary += "; " + std::to_string(added.size()) + " added, " + std::to_string(gone.size()) +
               " gone, everything else kept";
  std::string changes = ListedEntries(label, "added", added) + ListedEntries(label, "gone", gone);
  if (target.empty()) {
    *out += text;
    *err += changes + root + ": " + summary + "\n";
    return EXIT_DONE;
  }
  if (!WriteFileAtomically(target, pack::Bytes(text.begin(), text.end()), &error)) {
    *err += error + "\n";
    return EXIT_FAILED;
  }
  *out += changes + "wrote " + target + ": " + summary + "\n";
  return EXIT_DONE;
}

}  // namespace

int RunPack(const std::vector<std::string>& args, std::string* out, std::string* err) {
  Options options;
  std::string error;
  if (!ParseOptions(args, &options, &error)) {
    *err += "retrax-pack: " + error + " (retrax-pack --help shows the usage)\n";
    return EXIT_USAGE;
  }
  if (options.help) {
    *out += kUsage;
    return EXIT_DONE;
  }
  if (options.command == "build") return Build(options, out, err);
  if (options.command == "dump") return Dump(options, out, err);
  if (options.command == "verify") return Verify(options, out, err);
  if (options.command == "scan") return Scan(options, out, err);
  *err += (options.command.empty() ? std::string("retrax-pack: no command given")
                                   : "retrax-pack: unknown command " + options.command) +
          " (retrax-pack --help shows the usage)\n";
  return EXIT_USAGE;
}

}  // namespace packtool
