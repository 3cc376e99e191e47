// The INI document: table order and growth, the parser's tolerances, the writer's exact
// bytes, and a write followed by a read.
#include <gtest/gtest.h>
#include <string>
#include "config/IniDocument.h"
#include "support/TempDir.h"

namespace {

// "k" and a number, built by appending: GCC 12 reports a false -Wrestrict at -O3 for a
// literal + std::string temporary (the inlined insert at position 0).
std::string numberedKey(size_t number) {
    std::string key = "k";
    return key += std::to_string(number);
}

void parse(ksIniDocument& document, const std::string& text) {
    document.parse(text.data(), text.size());
}

std::string rendered(const ksIniDocument& document) {
    ksString bytes = document.render();
    return std::string(bytes.c_str(), bytes.length());
}

std::string entries(const ksIniDocument& document) {
    std::string out;
    for (uint32_t i = 0; i < document.usedCount(); ++i)
        out += std::string(document.entryName(i)) + "=" + document.entryValue(i) + "|";
    return out;
}

const char* value(const ksIniDocument& document, const char* section, const char* key) {
    return document.get(section, key, "<none>", nullptr);
}

} // namespace

TEST(IniDocument, HashesNamesOneByteAtATimeWithSignedBytes) {
    EXPECT_EQ(ksIniDocument::hashOf("a", 1), 0xca2e9442u);
    EXPECT_EQ(ksIniDocument::hashOf("default", 7), 0xe4df46d5u);
    EXPECT_EQ(ksIniDocument::hashOf("file/level", 10), 0x9a4fd290u);
    EXPECT_EQ(ksIniDocument::hashOf("\xE9t\xE9", 3), 0x8c711b75u);
}

TEST(IniDocument, KeepsFirstAddedOrderAndDoublesItsSlots) {
    ksIniDocument document(5);
    EXPECT_EQ(document.slotCount(), 128u);
    for (int i = 0; i < 129; ++i)
        document.set(numberedKey(i).c_str(), std::to_string(i).c_str());
    EXPECT_EQ(document.slotCount(), 256u);
    EXPECT_EQ(document.usedCount(), 129u);
    for (int i = 129; i < 257; ++i)
        document.set(numberedKey(i).c_str(), std::to_string(i).c_str());
    EXPECT_EQ(document.slotCount(), 512u);
    EXPECT_EQ(document.usedCount(), 257u);
    document.set("k0", "again");
    document.set("k5", nullptr);
    EXPECT_STREQ(document.entryName(0), "k0");
    EXPECT_STREQ(document.entryValue(0), "again");
    EXPECT_STREQ(document.entryValue(5), "");
    EXPECT_STREQ(document.entryName(128), "k128");
    EXPECT_STREQ(document.lookup("k77", "none"), "77");
    EXPECT_STREQ(document.lookup("K77", "none"), "none");
}

TEST(IniDocument, FormsLowerCaseNamesAndDeclaresSectionsFirst) {
    ksIniDocument document;
    document.setValue("File", "Level", "Debug");
    document.setValue(nullptr, "ReadPath", "x");
    document.setValue("", "WritePath", "y");
    EXPECT_EQ(entries(document), "file=|file/level=Debug|default=|default/readpath=x|"
                                 "default/writepath=y|");
    EXPECT_EQ(document.sectionCount(), 2u);
    EXPECT_STREQ(document.sectionName(0), "file");
    EXPECT_STREQ(document.sectionName(1), "");
    EXPECT_STREQ(document.sectionName(2), "");
    bool found = false;
    EXPECT_STREQ(document.get("FILE", "LEVEL", "d", &found), "Debug");
    EXPECT_TRUE(found);
    EXPECT_STREQ(document.get("file", "other", "d", &found), "d");
    EXPECT_FALSE(found);
}

TEST(IniDocument, ReadsIntegersOnlyFromWholeDecimalText) {
    ksIniDocument document;
    parse(document, "a=42\nb=-7\nc=12abc\nd=0x10\ne=\nf=99999999999\n");
    bool found = false;
    EXPECT_EQ(document.getInt(nullptr, "a", 5, &found), 42);
    EXPECT_EQ(document.getInt(nullptr, "b", 5, &found), -7);
    for (const char* key : {"c", "d", "e", "f"}) {
        EXPECT_EQ(document.getInt(nullptr, key, 5, &found), 5) << key;
        EXPECT_TRUE(found) << key;
    }
    EXPECT_EQ(document.getInt(nullptr, "missing", 5, &found), 5);
    EXPECT_FALSE(found);
    document.setInt("s", "n", -2147483647 - 1);
    EXPECT_STREQ(value(document, "s", "n"), "-2147483648");
}

TEST(IniParser, EmptyCommentOnlyAndMissingFilesGiveNoKeys) {
    ksIniDocument empty;
    parse(empty, "");
    EXPECT_EQ(entries(empty), "default=|");
    ksIniDocument comments;
    parse(comments, "; one\r\n  # two\r\n\r\n\t\r\n");
    EXPECT_EQ(entries(comments), "default=|");
    ksIniDocument missing;
    TempDir dir;
    EXPECT_EQ(missing.load(dir.file("absent.ini").c_str()), ksIniLoad::unopened);
    EXPECT_EQ(missing.usedCount(), 0u);
}

TEST(IniParser, SkipsALeadingByteOrderMarkOnly) {
    ksIniDocument withMark;
    parse(withMark, "\xEF\xBB\xBFkey=1\n\xEF\xBB\xBFother=2\n");
    EXPECT_STREQ(value(withMark, nullptr, "key"), "1");
    EXPECT_STREQ(value(withMark, nullptr, "\xEF\xBB\xBFother"), "2");
}

TEST(IniParser, LineEndsParseAlikeAndTheLastLineNeedsNone) {
    for (const char* end : {"\r\n", "\n", "\r"}) {
        ksIniDocument document;
        std::string e = end;
        parse(document, "[S]" + e + "a=1" + e + "b=2");
        EXPECT_EQ(entries(document), "default=|s=|s/a=1|s/b=2|") << int(end[0]) << end[1];
    }
}

TEST(IniParser, SectionsAndKeysIgnoreCaseAndRepeatsMerge) {
    ksIniDocument document;
    parse(document, "top=0\n[File]\nLevel=1\n[other]\nx=y\n[FILE]\nlevel=2\nTarget = a b \n"
                    "[  ]\nlate=3\n[]\n[ spaced name ] trailing\nk\n=skipped\n[open\n");
    EXPECT_EQ(entries(document),
              "default=|default/top=0|file=|file/level=2|other=|other/x=y|file/target=a b|"
              "default/late=3|spaced name=|spaced name/k=|spaced name/[open=|");
    EXPECT_EQ(rendered(document), "top=0\r\nlate=3\r\n\r\n[file]\r\nlevel=2\r\n"
                                  "target=\"a b\"\r\n\r\n[other]\r\nx=y\r\n\r\n"
                                  "[spaced name]\r\nk=\r\n[open=\r\n");
}

TEST(IniParser, QuotesEscapesAndInlineComments) {
    ksIniDocument document;
    parse(document, "a = plain ; comment\n"
                    "b=x#y\n"
                    "c=\"quoted ; kept # too\" ; dropped\n"
                    "d='single \"inner\" \\' end' tail\n"
                    "e=\"back\\\\slash \\\"q\\\" \\n\"\n"
                    "f=\"unterminated \\\"value\n"
                    "g=\"\"\n"
                    "h=  \t\n"
                    "  ; indented comment=1\n"
                    "i=\"ends in backslash\\");
    EXPECT_STREQ(value(document, nullptr, "a"), "plain");
    EXPECT_STREQ(value(document, nullptr, "b"), "x");
    EXPECT_STREQ(value(document, nullptr, "c"), "quoted ; kept # too");
    EXPECT_STREQ(value(document, nullptr, "d"), "single \"inner\" ' end");
    EXPECT_STREQ(value(document, nullptr, "e"), "back\\slash \"q\" n");
    EXPECT_STREQ(value(document, nullptr, "f"), "unterminated \"value");
    EXPECT_STREQ(value(document, nullptr, "g"), "");
    EXPECT_STREQ(value(document, nullptr, "h"), "");
    EXPECT_STREQ(value(document, nullptr, "i"), "ends in backslash");
    EXPECT_STREQ(value(document, nullptr, "  ; indented comment"), "<none>");
}

TEST(IniParser, CutsNamesTo127BytesAndLinesTo1023) {
    std::string longKey(200, 'k');
    std::string longSection(150, 'S');
    ksIniDocument document;
    parse(document, "[" + longSection + "]\n" + longKey + "=v\n");
    std::string section(127, 's');
    EXPECT_STREQ(document.sectionName(1), section.c_str());
    EXPECT_STREQ(value(document, section.c_str(), std::string(127, 'k').c_str()), "v");

    // 1023 bytes form one piece; the rest of the line is parsed as another line.
    std::string line = "a=" + std::string(1021, 'x') + "b=2\n";
    ksIniDocument split;
    parse(split, line);
    EXPECT_EQ(std::string(value(split, nullptr, "a")), std::string(1021, 'x'));
    EXPECT_STREQ(value(split, nullptr, "b"), "2");
}

TEST(IniParser, ANulByteEndsItsLine) {
    ksIniDocument document;
    parse(document, std::string("a=1\0tail\nb=2\n", 13));
    EXPECT_STREQ(value(document, nullptr, "a"), "1");
    EXPECT_STREQ(value(document, nullptr, "b"), "2");
}

TEST(IniWriter, WritesTheSectionsWithCrLfAndQuotesWhatNeedsIt) {
    ksIniDocument document;
    document.setValue("File", "File", "stderr");
    document.setValue("File", "Append", "0");
    document.setValue("options", "populate", "1");
    document.setValue("options", "words", "two words");
    document.setValue("options", "path", "C:\\log");
    document.setValue("options", "quotes", "say \"hi\" it's");
    document.setValue("options", "hash", "a#b;c");
    document.setValue("empty", nullptr, nullptr);
    EXPECT_EQ(rendered(document), "[file]\r\nfile=stderr\r\nappend=0\r\n\r\n"
                                  "[options]\r\npopulate=1\r\nwords=\"two words\"\r\n"
                                  "path=\"C:\\\\log\"\r\n"
                                  "quotes=\"say \\\"hi\\\" it\\'s\"\r\nhash=\"a#b;c\"\r\n"
                                  "\r\n[empty]\r\n");
}

TEST(IniWriter, WriteThenReadKeepsEveryStorableValue) {
    ksIniDocument document;
    const char* values[] = {"plain", " lead and trail ",  "\"'\\",    "x;y#z",
                            "",      "\xC3\xA9t\xC3\xA9", "=equals=", "[bracket]"};
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        document.setValue("s", numberedKey(i).c_str(), values[i]);
    document.setValue("s", "tab", "\tinner\ttab\t");
    ksIniDocument again;
    ksString bytes = document.render();
    again.parse(bytes.c_str(), bytes.length());
    for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i)
        EXPECT_STREQ(value(again, "s", numberedKey(i).c_str()), values[i]);
    // Tabs are not quoted: the ones at the edges are lost, as the format has it.
    EXPECT_STREQ(value(again, "s", "tab"), "inner\ttab");
}

TEST(IniWriter, WritesLongLinesWhole) {
    std::string longValue(5000, 'v');
    ksIniDocument document;
    document.setValue("s", "long", (longValue + " x").c_str());
    document.setValue("s", "next", "1");
    TempDir dir;
    std::string path = dir.file("long.ini");
    ASSERT_TRUE(document.write(path.c_str()));
    EXPECT_EQ(readFileBytes(path), "[s]\r\nlong=\"" + longValue + " x\"\r\nnext=1\r\n");
}

TEST(IniWriter, FailsWhenTheFileCannotBeCreated) {
    ksIniDocument document;
    document.setValue("s", "k", "v");
    TempDir dir;
    EXPECT_FALSE(document.write(dir.file("missing/dir/x.ini").c_str()));
    EXPECT_FALSE(fileExists(dir.file("missing")));
}

TEST(IniWriter, DefaultKeysSetAfterAnotherSectionFollowItsKeys) {
    // Known and unused by the system: "default" carries no header.
    ksIniDocument document;
    document.setValue("file", "level", "3");
    document.setValue(nullptr, "readpath", "x");
    EXPECT_EQ(rendered(document), "[file]\r\nlevel=3\r\nreadpath=x\r\n");
}
