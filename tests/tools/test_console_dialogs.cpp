// Message boxes written as text: their layout on the stream and how questions are answered.
#include <gtest/gtest.h>

#include <sstream>

#include "platform/console_dialogs.h"

namespace platform {
namespace {

TEST(ConsoleDialogs, InformationIsOneLineWithThePrefix) {
    std::ostringstream out;
    ConsoleDialogs d(out, "prog");
    d.information("Debe ingresar texto en el mensaje.");
    EXPECT_EQ(out.str(), "prog: Debe ingresar texto en el mensaje.\n");
    EXPECT_EQ(d.shown(), 1);
}

TEST(ConsoleDialogs, LineBreaksOfTheBoxStartIndentedLines) {
    std::ostringstream out;
    ConsoleDialogs d(out, "prog");
    d.information("No se encontraron puertos COM en el sistema.\r\nEl programa no puede continuar.");
    EXPECT_EQ(out.str(),
              "prog: No se encontraron puertos COM en el sistema.\n"
              "      El programa no puede continuar.\n");
}

TEST(ConsoleDialogs, AnOwnTitleIsShownTheApplicationsIsNot) {
    std::ostringstream out;
    ConsoleDialogs d(out, "prog");
    d.information("Hola", "Otro título");
    d.information("Chau", kApplicationTitle);
    EXPECT_EQ(out.str(), "prog: Otro título: Hola\nprog: Chau\n");
}

TEST(ConsoleDialogs, FixedRulesAnswerWithoutReading) {
    std::ostringstream out;
    std::istringstream in("s\n");
    ConsoleDialogs d(out, "prog", ConsoleDialogs::Rule::No, &in);
    EXPECT_FALSE(d.question("Seguro?", "Pregunta"));
    EXPECT_EQ(out.str(), "prog: Pregunta: Seguro? (s/n) n\n");
    d.setRule(ConsoleDialogs::Rule::Yes, &in);
    EXPECT_TRUE(d.question("Seguro?", "Pregunta"));
    EXPECT_EQ(in.tellg(), 0) << "nothing was read";
}

TEST(ConsoleDialogs, InteractiveQuestionsReadOneLine) {
    std::ostringstream out;
    std::istringstream in("sí\nno\n  S \nx\n");
    ConsoleDialogs d(out, "prog", ConsoleDialogs::Rule::AskWhenInteractive, &in);
    EXPECT_TRUE(d.question("1?", "T"));
    EXPECT_FALSE(d.question("2?", "T"));
    EXPECT_TRUE(d.question("3?", "T"));
    EXPECT_FALSE(d.question("4?", "T"));
    // End of input: No.
    EXPECT_FALSE(d.question("5?", "T"));
    EXPECT_EQ(d.shown(), 5);
}

TEST(ConsoleDialogs, InteractiveWithoutAnInputIsNo) {
    std::ostringstream out;
    ConsoleDialogs d(out, "prog", ConsoleDialogs::Rule::AskWhenInteractive, nullptr);
    EXPECT_FALSE(d.question("Seguro?", "T"));
    EXPECT_EQ(out.str(), "prog: T: Seguro? (s/n) n\n");
}

TEST(ConsoleDialogs, YesAnswers) {
    for (const char* yes : {"s", "S", "si", "SI", "Si", "sí", "SÍ", " si "}) {
        EXPECT_TRUE(ConsoleDialogs::IsYes(yes)) << yes;
    }
    for (const char* no : {"", "n", "no", "sii", "yes", "s i"}) {
        EXPECT_FALSE(ConsoleDialogs::IsYes(no)) << no;
    }
}

}  // namespace
}  // namespace platform
