#include "candb/DbcReader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace {

const char kWhole[] = R"(VERSION "1.2 test"

NS_ :
	NS_DESC_
	CM_
	BA_DEF_
	SIG_VALTYPE_

BS_: 500 : 12,34

BU_: Engine Gateway Dash

VAL_TABLE_ Gears 0 "Neutral" 1 "First" -1 "Reverse" ;

BO_ 100 EngineData: 8 Engine
 SG_ EngineSpeed : 0|16@1+ (0.25,0) [0|16383.75] "rpm" Gateway,Dash
 SG_ CoolantTemp : 23|8@0- (1,-40) [-40|215] "degC" Dash
 SG_ Gear : 24|4@1- (1,0) [-1|6] "" Dash
 SG_ Ratio : 32|32@1- (1,0) [0|0] "" Dash

BO_ 2566852641 Extended: 8 Gateway
 SG_ Big : 0|64@1+ (1E-3,-1.5) [0|1.8E+16] "units, mixed" Vector__XXX

CM_ "The whole network.";
CM_ BO_ 100 "Sent every 10 ms
by the engine.";
CM_ SG_ 100 EngineSpeed "Crankshaft speed";
CM_ BU_ Engine "The engine controller";
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 65535;
BA_DEF_ SG_ "GenSigStartValue" FLOAT 0 100;
BA_DEF_ BU_ "NodeLayer" ENUM "Low","High";
BA_DEF_DEF_ "GenMsgCycleTime" 50;
BA_DEF_DEF_ "NodeLayer" "Low";
BA_ "GenMsgCycleTime" BO_ 100 10;
BA_ "GenSigStartValue" SG_ 100 EngineSpeed 2.5;
BA_ "NodeLayer" BU_ Engine "High";
VAL_ 100 Gear 0 "Neutral" 1 "First" -1 "Reverse" 7 "Park" ;
SIG_VALTYPE_ 100 Ratio : 1;
)";

std::shared_ptr<const CanDatabase> readOk(const std::string& text) {
    DbcReadResult r = DbcReader::read(text);
    EXPECT_TRUE(r.ok) << r.error;
    return r.database;
}

std::string withCrlfAndTabs(std::string text) {
    std::string out;
    for (const char c : text) {
        if (c == '\n') out += '\r';
        out += c == ' ' ? '\t' : c;
    }
    return out;
}

}  // namespace

TEST(DbcReader, ReadsEverySectionOfAWholeDatabase) {
    const DbcReadResult r = DbcReader::read(kWhole);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.warningCount(), 0u) << r.summary();
    const CanDatabase& db = *r.database;
    EXPECT_EQ(db.version(), "1.2 test");
    EXPECT_EQ(db.comment(), "The whole network.");
    EXPECT_EQ(db.nodes(), (std::vector<std::string>{"Engine", "Gateway", "Dash"}));
    ASSERT_EQ(db.valueTables().size(), 1u);
    EXPECT_EQ(db.valueTables()[0].values.size(), 3u);
    ASSERT_EQ(db.messages().size(), 2u);

    const CanMessage* engine = db.find(100, false);
    ASSERT_NE(engine, nullptr);
    EXPECT_EQ(db.find(100, true), nullptr);
    EXPECT_EQ(engine->name, "EngineData");
    EXPECT_EQ(engine->size, 8u);
    EXPECT_EQ(engine->transmitter, "Engine");
    EXPECT_EQ(engine->comment, "Sent every 10 ms\nby the engine.");
    EXPECT_EQ(engine->cycleTimeMs, 10u);
    ASSERT_EQ(engine->signals.size(), 4u);
    const CanSignal& speed = engine->signals[0];
    EXPECT_EQ(speed.name, "EngineSpeed");
    EXPECT_EQ(speed.startBit, 0);
    EXPECT_EQ(speed.length, 16);
    EXPECT_EQ(speed.order, ByteOrder::kIntel);
    EXPECT_EQ(speed.type, ValueType::kUnsigned);
    EXPECT_EQ(speed.factor, 0.25);
    EXPECT_EQ(speed.maximum, 16383.75);
    EXPECT_EQ(speed.unit, "rpm");
    EXPECT_EQ(speed.receivers, (std::vector<std::string>{"Gateway", "Dash"}));
    EXPECT_EQ(speed.comment, "Crankshaft speed");
    const CanSignal& coolant = engine->signals[1];
    EXPECT_EQ(coolant.order, ByteOrder::kMotorola);
    EXPECT_EQ(coolant.type, ValueType::kSigned);
    EXPECT_EQ(coolant.offset, -40.0);
    EXPECT_EQ(coolant.minimum, -40.0);
    const CanSignal& gear = engine->signals[2];
    ASSERT_EQ(gear.values.size(), 4u);
    ASSERT_NE(gear.label(~std::uint64_t{0}), nullptr);  // -1
    EXPECT_EQ(*gear.label(~std::uint64_t{0}), "Reverse");
    EXPECT_EQ(*gear.label(7), "Park");
    EXPECT_EQ(gear.label(2), nullptr);
    EXPECT_EQ(engine->signals[3].type, ValueType::kFloat);

    const CanMessage* extended = db.find(0x18FF1021, true);
    ASSERT_NE(extended, nullptr);
    EXPECT_EQ(db.find(0x18FF1021, false), nullptr);
    EXPECT_EQ(extended->cycleTimeMs, 50u);  // the default
    const CanSignal& big = extended->signals[0];
    EXPECT_EQ(big.length, 64);
    EXPECT_EQ(big.factor, 1e-3);
    EXPECT_EQ(big.offset, -1.5);
    EXPECT_EQ(big.maximum, 1.8e16);
    EXPECT_EQ(big.unit, "units, mixed");

    ASSERT_EQ(db.attributeDefinitions().size(), 3u);
    EXPECT_EQ(db.attributeDefinitions()[0].object, AttributeObject::kMessage);
    EXPECT_EQ(db.attributeDefinitions()[0].type, "INT 0 65535");
    EXPECT_EQ(db.attributeDefinitions()[2].type, "ENUM \"Low\", \"High\"");
    EXPECT_EQ(db.attributeDefinitions()[2].defaultValue, "Low");
    ASSERT_EQ(db.attributes().size(), 3u);
    EXPECT_EQ(db.attributes()[1].object, AttributeObject::kSignal);
    EXPECT_EQ(db.attributes()[1].signal, "EngineSpeed");
    EXPECT_EQ(db.attributes()[1].value, "2.5");
    EXPECT_EQ(db.attributes()[2].node, "Engine");
    EXPECT_EQ(db.attributes()[2].value, "High");
}

TEST(DbcReader, LineEndsAndTabsDoNotChangeWhatIsRead) {
    const auto lf = readOk(kWhole);
    const auto crlf = readOk(withCrlfAndTabs(kWhole));
    ASSERT_TRUE(lf && crlf);
    ASSERT_EQ(crlf->messages().size(), lf->messages().size());
    for (std::size_t i = 0; i < lf->messages().size(); ++i) {
        const CanMessage& a = lf->messages()[i];
        const CanMessage& b = crlf->messages()[i];
        EXPECT_EQ(a.name, b.name);
        ASSERT_EQ(a.signals.size(), b.signals.size());
        for (std::size_t k = 0; k < a.signals.size(); ++k) {
            EXPECT_EQ(a.signals[k].name, b.signals[k].name);
            EXPECT_EQ(a.signals[k].startBit, b.signals[k].startBit);
            EXPECT_EQ(a.signals[k].factor, b.signals[k].factor);
            EXPECT_EQ(a.signals[k].values.size(), b.signals[k].values.size());
        }
    }
    // The comment's own line end is kept as the file has it; the text still reads.
    EXPECT_EQ(crlf->find(100, false)->comment, "Sent\tevery\t10\tms\r\nby\tthe\tengine.");
}

TEST(DbcReader, UnknownStatementsAreSkippedCountedAndTheRestRead) {
    const char text[] = R"(VERSION ""
BU_: A B
BO_ 10 First: 2 A
 SG_ S : 0|8@1+ (1,0) [0|0] "" B
BO_TX_BU_ 10 : A,B;
SIG_GROUP_ 10 Group 1 : S;
EV_ Env: 0 [0|100] "" 0 1 DUMMY_NODE_VECTOR0
   Vector__XXX;
FILTER
  anything at all ( ] |
CAT_DEF_ 1 "cat" 0 "multi
line";
BO_ 11 Second: 1 A
 SG_ T : 0|8@1+ (1,0) [0|0] "" B
)";
    const DbcReadResult r = DbcReader::read(text);
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.counts[static_cast<std::size_t>(DbcWarningKind::kUnknownKeyword)], 5u);
    ASSERT_EQ(r.warnings.size(), 5u);
    EXPECT_EQ(r.warnings[0].line, 5u);
    EXPECT_EQ(r.warnings[0].detail, "BO_TX_BU_");
    EXPECT_EQ(r.warnings[3].line, 9u);
    EXPECT_EQ(r.warnings[4].detail, "CAT_DEF_");
    EXPECT_EQ(r.summary(),
              "5 statements were passed over (5: an unknown keyword); the first is line 5: an "
              "unknown keyword (BO_TX_BU_).");
    ASSERT_EQ(r.database->messages().size(), 2u);
    EXPECT_EQ(r.database->find(11, false)->signals.at(0).name, "T");
}

TEST(DbcReader, RefusesFilesThatAreNotDatabasesAtTheirFirstLine) {
    const std::string notDatabases[] = {
        std::string("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16),
        "(1700000000.000100) can0 123#1122334455667788\n",
        "date Mon Jan 1 00:00:00 2024\nbase hex  timestamps absolute\n",
        "Hello, this is a letter.\n",
        "12 34 56\n",
    };
    for (const std::string& text : notDatabases) {
        const DbcReadResult r = DbcReader::read(text);
        EXPECT_FALSE(r.ok) << text;
        EXPECT_EQ(r.database, nullptr);
        EXPECT_EQ(r.errorLine, 1u) << text;
        EXPECT_EQ(r.error.rfind("line 1 does not parse: ", 0), 0u) << r.error;
    }
    EXPECT_EQ(DbcReader::read(notDatabases[0]).error,
              "line 1 does not parse: the byte 0x89 is not a DBC keyword");
    EXPECT_EQ(DbcReader::read(notDatabases[1]).error,
              "line 1 does not parse: '(' is not a DBC keyword");
    const DbcReadResult empty = DbcReader::read(" \n\n");
    EXPECT_FALSE(empty.ok);
    EXPECT_EQ(empty.error, "line 1 does not parse: the file holds no DBC keyword");
}

TEST(DbcReader, RefusesAWholeFileAtTheFirstStatementThatDoesNotParse) {
    struct Case {
        const char* statement;
        const char* error;
    };
    const Case cases[] = {
        {" SG_ S : 0 8@1+ (1,0) [0|0] \"\" B", "SG_ needs '|', found '8'"},
        {" SG_ S : 0|0@1+ (1,0) [0|0] \"\" B", "the length 0 is not a number of bits"},
        {" SG_ S : 99999999999|8@1+ (1,0) [0|0] \"\" B", "'99999999999' is not a start bit"},
        {" SG_ S : 0|8@1+ (1E+400,0) [0|0] \"\" B", "SG_: '1E+400' is not a number"},
        {" SG_ S : 7|8@2+ (1,0) [0|0] \"\" B", "the byte order is @0 or @1, not @2"},
        {" SG_ S : 7|8@1 (1,0) [0|0] \"\" B",
         "SG_ needs '+' or '-' after the byte order, found '('"},
        {" SG_ S : 7|8@1+ (1,x) [0|0] \"\" B", "SG_ needs a number, found 'x'"},
        {" SG_ S : 7|8@1+ (1.2.3,0) [0|0] \"\" B", "SG_: '1.2.3' is not a number"},
        {" SG_ S x3 : 0|8@1+ (1,0) [0|0] \"\" B",
         "'x3' is not a multiplexer indicator (M, m0, m1M, ...)"},
        {"CM_ SG_ 10 S \"never closed;", "a text that is never closed"},
        {"CM_ BO_ 10 \"no semicolon\"\nBO_ 11 X: 8 A", "CM_ needs ';', found 'BO_'"},
        {"VAL_ 10 S 1 \"one\" 2 ;", "VAL_ needs a quoted description, found ';'"},
        {"SIG_VALTYPE_ 10 S : 3;", "the value type is 0, 1 or 2, not 3"},
        {"SG_MUL_VAL_ 10 S M 3-1;", "3-1 is not a range of multiplexer values"},
        {"BO_ x Name: 8 A", "BO_ needs an identifier, found 'x'"},
        {"bogus line", "'bogus' is not a DBC keyword"},
    };
    for (const Case& c : cases) {
        const std::string text = std::string("VERSION \"\"\nBU_: A B\nBO_ 10 Msg: 8 A\n") +
                                 c.statement + "\nBO_ 20 Later: 8 A\n";
        const DbcReadResult r = DbcReader::read(text);
        EXPECT_FALSE(r.ok) << c.statement;
        EXPECT_EQ(r.database, nullptr);
        EXPECT_EQ(r.errorLine, 4u) << c.statement;
        EXPECT_EQ(r.error, std::string("line 4 does not parse: ") + c.error);
    }
    // A signal must follow its message.
    const DbcReadResult orphan =
        DbcReader::read("VERSION \"\"\nBU_: A\n SG_ S : 0|8@1+ (1,0) [0|0] \"\" A\n");
    EXPECT_EQ(orphan.error, "line 3 does not parse: SG_ does not follow a BO_ message");
}

TEST(DbcReader, RefusesAFileLargerThanAnyDatabaseBeforeReadingIt) {
    char pattern[] = "/tmp/dbc-large-XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    // Sparse: nothing is written, and the reader must not read it either.
    ASSERT_EQ(ftruncate(fd, static_cast<off_t>(DbcReader::kMaxFileBytes) + 1), 0);
    close(fd);
    const DbcReadResult r = DbcReader::readFile(pattern);
    std::remove(pattern);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.error, "the file is larger than any CAN database (64 MB)");
    EXPECT_FALSE(DbcReader::readFile("/nonexistent/x.dbc").ok);
    // What was read is handed back for keeping, as it is in the file.
    char small[] = "/tmp/dbc-small-XXXXXX";
    const int out = mkstemp(small);
    ASSERT_GE(out, 0);
    const std::string bytes = "VERSION \"x\"\r\nBU_: A\r\n";
    ASSERT_EQ(write(out, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(out);
    std::string kept;
    const DbcReadResult read = DbcReader::readFile(small, &kept);
    std::remove(small);
    EXPECT_TRUE(read.ok) << read.error;
    EXPECT_EQ(kept, bytes);
    EXPECT_FALSE(DbcReader::readFile("/tmp").ok);
}

TEST(DbcReader, SignalsNoCanFrameCarriesAreLeftOutAndTheRestRead) {
    const DbcReadResult r = DbcReader::read(R"(VERSION ""
BO_ 2158493696 DISP1: 8 A
 SG_ Instructions : 0|4@1+ (1,0) [0|15] "" B
 SG_ Character : 24|1600@1+ (1,0) [0|4.446241647709404462001681407E+481] "" B
 SG_ Wide : 0|65@1+ (1,0) [0|0] "" B
 SG_ Beyond : 512|8@1+ (1,0) [0|0] "" B
 SG_ Across : 505|8@1+ (1,0) [0|0] "" B
 SG_ LastByte : 504|8@1+ (1,0) [-1E+400|1E+400] "" B
 SG_ Tiny : 8|8@1+ (1,0) [1E-400|-1E-400] "" B
CM_ SG_ 2158493696 Character "a text field sent over a transport protocol";
VAL_ 2158493696 Wide 0 "zero" ;
)");
    ASSERT_TRUE(r.ok) << r.error;
    EXPECT_EQ(r.counts[static_cast<std::size_t>(DbcWarningKind::kNotInFrame)], 4u);
    EXPECT_EQ(r.warningCount(), 4u) << r.summary();  // no warning for the references to them
    EXPECT_EQ(r.warnings[0].detail,
              "Character has 1600 bits from bit 24, more than a CAN frame carries");
    EXPECT_EQ(r.warnings[0].line, 4u);
    const CanMessage& m = *r.database->find(0xA80000, true);
    ASSERT_EQ(m.signals.size(), 3u);
    EXPECT_EQ(m.signals[1].name, "LastByte");
    EXPECT_EQ(m.signals[1].minimum, -HUGE_VAL);
    EXPECT_EQ(m.signals[1].maximum, HUGE_VAL);
    EXPECT_EQ(m.signals[2].minimum, 0.0);
    EXPECT_TRUE(std::signbit(m.signals[2].maximum));
}

TEST(DbcReader, BoundsWhatAFileCanMakeItHold) {
    std::string many = "VERSION \"\"\nBO_ 1 M: 8 A\n";
    for (std::size_t i = 0; i <= DbcReader::kMaxSignalsPerMessage; ++i) {
        many += " SG_ S" + std::to_string(i) + " : 0|1@1+ (1,0) [0|0] \"\" B\n";
    }
    const DbcReadResult signals = DbcReader::read(many);
    EXPECT_FALSE(signals.ok);
    EXPECT_EQ(signals.errorLine, DbcReader::kMaxSignalsPerMessage + 3);
    EXPECT_EQ(signals.error.substr(signals.error.find(": ") + 2),
              "message M has more signals than a message can hold");

    // Two bytes a receiver name: a file well under the size bound names too many.
    std::string receivers = "VERSION \"\"\nBO_ 1 M: 8 A\n SG_ S : 0|1@1+ (1,0) [0|0] \"\" A";
    for (std::size_t i = 0; i < DbcReader::kMaxEntries; ++i) receivers += ",A";
    const DbcReadResult entries = DbcReader::read(receivers + "\n");
    EXPECT_FALSE(entries.ok);
    EXPECT_EQ(entries.error, "line 3 does not parse: more entries than a database can hold");
}

TEST(DbcReader, ReferencesToNothingAndRepeatsAreWarnedWithTheirLines) {
    const char text[] = R"(VERSION ""
BO_ 10 Msg: 8 A
 SG_ S : 0|8@1+ (1,0) [0|0] "" B
 SG_ S : 8|8@1+ (1,0) [0|0] "" B
BO_ 10 Again: 8 A
 SG_ Lost : 0|8@1+ (1,0) [0|0] "" B
BO_ 3221225472 VECTOR__INDEPENDENT_SIG_MSG: 0 Vector__XXX
 SG_ Free : 0|8@1+ (1,0) [0|0] "" B
BO_ 2048 TooBig: 8 A
CM_ SG_ 10 Nobody "x";
VAL_ 99 S 1 "one" ;
CM_ SG_ 3221225472 Free "placeholder signals need no warning";
SIG_VALTYPE_ 10 S : 1;
VAL_ 10 S 1.5 "half" 2 "two" ;
)";
    const DbcReadResult r = DbcReader::read(text);
    ASSERT_TRUE(r.ok) << r.error;
    const auto count = [&r](DbcWarningKind k) { return r.counts[static_cast<std::size_t>(k)]; };
    EXPECT_EQ(count(DbcWarningKind::kDuplicate), 2u);
    EXPECT_EQ(count(DbcWarningKind::kNotCan), 2u);
    EXPECT_EQ(count(DbcWarningKind::kUnknownReference), 2u);
    EXPECT_EQ(count(DbcWarningKind::kIgnoredValue), 2u);
    std::vector<std::uint64_t> lines;
    for (const DbcWarning& w : r.warnings) lines.push_back(w.line);
    EXPECT_EQ(lines, (std::vector<std::uint64_t>{4, 5, 7, 9, 10, 11, 13, 14}));
    EXPECT_EQ(r.warnings[1].detail, "Again repeats the identifier of Msg; the first is kept");
    EXPECT_EQ(r.warnings[6].detail, "S has 8 bits, not the 32 of a float; read as an integer");
    const CanMessage& m = *r.database->find(10, false);
    EXPECT_EQ(m.name, "Msg");
    EXPECT_EQ(m.signals.size(), 2u);
    EXPECT_EQ(m.signals[0].type, ValueType::kUnsigned);
    ASSERT_EQ(m.signals[0].values.size(), 1u);
    EXPECT_EQ(r.database->messages().size(), 1u);
}

TEST(DbcReader, Latin1TextsBecomeUtf8AndUtf8StaysAsItIs) {
    const std::string latin1 =
        "VERSION \"\"\nBO_ 1 M: 1 A\n SG_ T : 0|8@1+ (1,0) [0|0] \"\xB0"
        "C\" B\n"
        "CM_ BO_ 1 \"Stra\xDF"
        "e \\\"quoted\\\"\";\n";
    const auto a = readOk(latin1);
    ASSERT_TRUE(a);
    EXPECT_EQ(a->find(1, false)->signals[0].unit,
              "\xC2\xB0"
              "C");
    EXPECT_EQ(a->find(1, false)->comment,
              "Stra\xC3\x9F"
              "e \"quoted\"");
    const std::string utf8 =
        "VERSION \"\"\nBO_ 1 M: 1 A\n SG_ T : 0|8@1+ (1,0) [0|0] \"\xC2\xB0"
        "C\" B\n";
    const auto b = readOk(utf8);
    ASSERT_TRUE(b);
    EXPECT_EQ(b->find(1, false)->signals[0].unit,
              "\xC2\xB0"
              "C");
}

TEST(DbcReader, ValueDescriptionsKeepEveryRawValueAsItsBits) {
    const auto db = readOk(R"(VERSION ""
BO_ 1 M: 8 A
 SG_ S : 0|64@1+ (1,0) [0|0] "" B
VAL_ 1 S 18446744073709551615 "max" -9223372036854775808 "min" 3.0 "three" 3 "again" 0 "zero" ;
)");
    ASSERT_TRUE(db);
    const CanSignal& s = db->find(1, false)->signals[0];
    ASSERT_EQ(s.values.size(), 4u);
    EXPECT_EQ(*s.label(UINT64_MAX), "max");
    EXPECT_EQ(*s.label(std::uint64_t{1} << 63), "min");
    EXPECT_EQ(*s.label(3), "three");  // the first of two for one value
    EXPECT_EQ(*s.label(0), "zero");
}

TEST(DbcReader, ResolvesSimpleAndExtendedMultiplexing) {
    const auto db = readOk(R"(VERSION ""
BO_ 1 Simple: 8 A
 SG_ Plain : 0|8@1+ (1,0) [0|0] "" B
 SG_ Mux M : 8|8@1+ (1,0) [0|0] "" B
 SG_ Zero m0 : 16|8@1+ (1,0) [0|0] "" B
 SG_ Seven m7 : 16|16@1+ (1,0) [0|0] "" B
BO_ 2 Nested: 8 A
 SG_ Top M : 0|8@1+ (1,0) [0|0] "" B
 SG_ Inner m1M : 8|8@1+ (1,0) [0|0] "" B
 SG_ Leaf m2 : 16|8@1+ (1,0) [0|0] "" B
SG_MUL_VAL_ 2 Inner Top 1-1, 4-6;
SG_MUL_VAL_ 2 Leaf Inner 2-3;
)");
    ASSERT_TRUE(db);
    const CanMessage& simple = *db->find(1, false);
    EXPECT_EQ(simple.signals[0].multiplexer, -1);
    EXPECT_TRUE(simple.signals[1].isMultiplexer);
    EXPECT_EQ(simple.signals[2].multiplexer, 1);
    EXPECT_EQ(simple.signals[3].selectors.at(0).low, 7u);
    const CanMessage& nested = *db->find(2, false);
    EXPECT_TRUE(nested.signals[1].isMultiplexer);
    EXPECT_EQ(nested.signals[1].multiplexer, 0);
    ASSERT_EQ(nested.signals[1].selectors.size(), 2u);
    EXPECT_EQ(nested.signals[1].selectors[1].low, 4u);
    EXPECT_EQ(nested.signals[1].selectors[1].high, 6u);
    EXPECT_EQ(nested.signals[2].multiplexer, 1);
    EXPECT_EQ(nested.signals[2].selectors.at(0).high, 3u);

    const DbcReadResult orphan =
        DbcReader::read("VERSION \"\"\nBO_ 1 M: 8 A\n SG_ S m3 : 0|8@1+ (1,0) [0|0] \"\" B\n");
    EXPECT_EQ(orphan.error, "line 3 does not parse: S is multiplexed but M has no multiplexer");
    const DbcReadResult loop = DbcReader::read(R"(VERSION ""
BO_ 1 M: 8 A
 SG_ A m1M : 0|8@1+ (1,0) [0|0] "" B
 SG_ C m1M : 8|8@1+ (1,0) [0|0] "" B
SG_MUL_VAL_ 1 A C 1-1;
SG_MUL_VAL_ 1 C A 1-1;
)");
    EXPECT_FALSE(loop.ok);
    EXPECT_EQ(loop.errorLine, 5u);
    EXPECT_EQ(loop.error, "line 5 does not parse: A selects itself through its multiplexers");
    const DbcReadResult self = DbcReader::read(R"(VERSION ""
BO_ 1 M: 8 A
 SG_ Top M : 0|8@1+ (1,0) [0|0] "" B
 SG_ Below m1 : 8|8@1+ (1,0) [0|0] "" B
 SG_ A m1M : 16|8@1+ (1,0) [0|0] "" B
SG_MUL_VAL_ 1 Below A 1-1;
SG_MUL_VAL_ 1 A A 1-1;
)");
    EXPECT_EQ(self.error, "line 7 does not parse: A selects itself through its multiplexers");
}
