#include "config/configfile.h"

#include <utility>
#include <vector>

#include "config/inifile.h"

namespace vantor {

namespace {

const char kGeneral[] = "General";
const char kMasques[] = "Masques";
const char kPragmaAvant[] = "Pragma avant";
const char kPragmaApres[] = "Pragma apres";
const char kDictionnaire[] = "Dictionnaire";
const char kMotsInterdits[] = "MotsInterdits";

bool IsBlankText(const std::string& s) { return s.find_first_not_of(" \t\r\n\v\f\x1a") == std::string::npos; }

// The writes of one save; the first refused entry ends them and is named in the error.
struct Writer {
    explicit Writer(IniFile& file) : ini(file) {}

    IniFile& ini;
    bool ok = true;
    std::string refused;
    std::string refusedSection;

    void Put(const char* section, const std::string& key, const std::string& value) {
        if (ok && !ini.WriteString(section, key, value)) {
            ok = false;
            refused = value.empty() ? key : key + "=" + value;
            refusedSection = section;
        }
    }
    void PutBool(const char* key, bool v) { Put(kGeneral, key, v ? "1" : "0"); }
    void PutInt(const char* key, int32_t v) { Put(kGeneral, key, std::to_string(v)); }
    void PutQuoted(const char* key, const std::string& v) { Put(kGeneral, key, "\"" + v + "\""); }

    // A list entry is a key with an empty value. An entry holding "=" (a
    // pragma such as "#pragma location=0x100") is cut at its first "=" into key
    // and value, and ReadList joins them again; written whole, its tail would
    // read back as a value and be lost.
    template <typename List>
    void PutList(const char* section, const List& list) {
        ini.EraseSection(section);
        for (const std::string& entry : list) {
            if (IsBlankText(entry)) continue;
            size_t eq = entry.find('=');
            if (eq == std::string::npos)
                Put(section, entry, "");
            else
                Put(section, entry.substr(0, eq), entry.substr(eq + 1));
        }
    }
};

std::vector<std::string> ReadList(const IniFile& ini, const char* section) {
    std::vector<std::string> list;
    for (auto& kv : ini.ReadSectionValues(section))
        list.push_back(kv.second.empty() ? kv.first : kv.first + "=" + kv.second);
    return list;
}

}  // namespace

bool SaveConfiguration(const std::string& path, const Dictionary& dictionary, std::string* error) {
    Settings.configFilePath = path;
    IniFile ini;
    std::string loadError;
    // An existing file is read first, so that what this version does not write survives.
    if (!ini.Load(path, &loadError) && !ini.Missing()) {
        if (error) *error = loadError;
        return false;
    }
    const SettingsRecord& s = Settings;
    Writer w(ini);
    w.PutQuoted("Source", s.Source);
    w.PutQuoted("Destination", s.Destination);
    w.PutQuoted("DestinationDesign", s.DestinationDesign);
    w.PutQuoted("Test", s.Test);
    w.PutBool("SousRepertoire", s.SousRepertoire);
    w.PutBool("Indenter", s.Indenter);
    w.PutBool("noInterrog", s.noInterrog);
    w.PutBool("breakSurCase", s.breakSurCase);
    w.PutBool("monoInstruction", s.monoInstruction);
    w.PutBool("aligner", s.aligner);
    w.PutInt("LnIndentation", s.lnIndentation);
    w.PutInt("instructions", s.instructions);
    w.PutInt("imbrications", s.imbrications);
    w.PutInt("fonctions", s.fonctions);
    w.PutInt("caracteres", s.caracteres);
    w.PutBool("couverture", s.couverture);
    w.PutBool("accolades", s.accolades);
    w.Put(kGeneral, "folderToIgnore", s.folderToIgnore);
    w.PutBool("rtlf", s.rtlf);
    w.PutBool("Methodes", s.Methodes);

    w.PutList(kMasques, s.Masques);
    w.PutList(kPragmaAvant, s.PragmaAvant);
    w.PutList(kPragmaApres, s.PragmaApres);
    ini.EraseSection(kDictionnaire);
    for (const DictionaryRow& row : dictionary.Rows())
        if (!IsBlankText(row.oldName)) w.Put(kDictionnaire, row.oldName, row.newName);
    w.PutList(kMotsInterdits, s.MotsInterdits.Items());

    if (!w.ok) {
        if (error)
            *error = Tr("impossible d'écrire ", "unable to write ") + path + Tr(" : « ", ": \"") + w.refused +
                     Tr(" » ne peut pas être enregistré dans la section [", "\" cannot be stored in section [") +
                     w.refusedSection + "]";
        return false;
    }
    return ini.Save(path, error);
}

bool LoadConfiguration(const std::string& path, Dictionary& dictionary, std::string* error) {
    Settings.configFilePath = path;
    IniFile ini;
    // On failure `ini` is empty and everything below takes its default.
    bool read = ini.Load(path, error);
    SettingsRecord& s = Settings;

    s.Masques = ReadList(ini, kMasques);
    dictionary.Clear();
    for (auto& kv : ini.ReadSectionValues(kDictionnaire)) dictionary.Add(kv.first, kv.second);
    s.MotsInterdits.Clear();
    for (const std::string& word : ReadList(ini, kMotsInterdits)) s.MotsInterdits.Add(word);
    s.PragmaAvant = ReadList(ini, kPragmaAvant);
    s.PragmaApres = ReadList(ini, kPragmaApres);

    s.Source = ini.ReadString(kGeneral, "Source", ".");
    s.Destination = ini.ReadString(kGeneral, "Destination", ".");
    s.DestinationDesign = ini.ReadString(kGeneral, "DestinationDesign", ".");
    s.Test = ini.ReadString(kGeneral, "Test", ".");
    s.SousRepertoire = ini.ReadBool(kGeneral, "SousRepertoire", true);
    s.Indenter = ini.ReadBool(kGeneral, "Indenter", false);
    s.noInterrog = ini.ReadBool(kGeneral, "noInterrog", true);
    s.breakSurCase = ini.ReadBool(kGeneral, "breakSurCase", true);
    s.monoInstruction = ini.ReadBool(kGeneral, "monoInstruction", true);
    s.aligner = ini.ReadBool(kGeneral, "aligner", true);
    s.lnIndentation = ini.ReadInteger(kGeneral, "lnIndentation", 3);
    s.imbrications = ini.ReadInteger(kGeneral, "imbrications", 8);
    s.fonctions = ini.ReadInteger(kGeneral, "fonctions", 20);
    s.instructions = ini.ReadInteger(kGeneral, "instructions", 100);
    s.caracteres = ini.ReadInteger(kGeneral, "caracteres", 80);
    s.couverture = ini.ReadBool(kGeneral, "couverture", false);
    s.accolades = ini.ReadBool(kGeneral, "accolades", false);
    s.folderToIgnore = ini.ReadString(kGeneral, "folderToIgnore", "");
    // A file without it must not turn every rewritten line to the other platform's line end.
    s.rtlf = ini.ReadBool(kGeneral, "rtlf", kPlatformCrLf);
    s.Methodes = ini.ReadBool(kGeneral, "Methodes", false);
    return read;
}

}  // namespace vantor
