#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "install/OVArchiverArguments.h"
#include "install/OVUnzipOutputReader.h"

using Kind = OVUnzipOutputReader::Kind;

TEST(UnzipOutputReader, TwoCharactersBeforeTheFirstPercentAreTheProgress) {
    OVUnzipOutputReader reader;
    auto step = reader.read(" 37% 3 - a/b.dll 99%");
    EXPECT_EQ(step.kind, Kind::Progress);
    EXPECT_EQ(step.progress, 37);
    EXPECT_EQ(step.label, QStringLiteral("37%"));

    step = reader.read("   5%");
    EXPECT_EQ(step.kind, Kind::Progress);
    EXPECT_EQ(step.progress, 5);
    EXPECT_EQ(step.label, QStringLiteral(" 5%"));

    step = reader.read("ab% x");
    EXPECT_EQ(step.kind, Kind::Progress);
    EXPECT_EQ(step.progress, 0);
    EXPECT_EQ(step.label, QStringLiteral("ab%"));
    EXPECT_FALSE(reader.everythingOk());
}

TEST(UnzipOutputReader, PercentInTheFirstTwoCharactersLeavesTheEndTextsToLookFor) {
    OVUnzipOutputReader reader;
    EXPECT_EQ(reader.read("%").kind, Kind::Nothing);
    EXPECT_EQ(reader.read("5%\nEverything is Ok\n").kind, Kind::Ended);
    OVUnzipOutputReader other;
    EXPECT_EQ(other.read("Sub items Errors: 2\n").kind, Kind::Ended);
    EXPECT_EQ(other.read("everything is ok").kind, Kind::Nothing);
    // A file that could not be written is a failed extraction, whatever else
    // the output says.
    EXPECT_FALSE(other.everythingOk());
    EXPECT_EQ(other.read("Everything is Ok\n").kind, Kind::Ended);
    EXPECT_FALSE(other.everythingOk());
    EXPECT_TRUE(reader.everythingOk());
}

TEST(UnzipOutputReader, EndTextInAChunkWithAPercentIsFoundInTheWholeOutput) {
    // Debian's 7z prints its last percentage, backspaces and the summary in
    // one burst.
    OVUnzipOutputReader reader;
    const auto step = reader.read("\n  0%\b\b\b\b    \b\b\b\bEverything is Ok\n\nFolders: 2\n");
    EXPECT_EQ(step.kind, Kind::Progress);
    EXPECT_EQ(step.progress, 0);
    EXPECT_TRUE(reader.everythingOk());

    // An end text split over two reads is found as well.
    OVUnzipOutputReader split;
    split.read(" 99% Everything i");
    EXPECT_EQ(split.read("s Ok").kind, Kind::Nothing);
    EXPECT_TRUE(split.everythingOk());
}

TEST(ArchiverArguments, FixedArgumentsThenOneExclusionPerRuntimeFilePresent) {
    QTemporaryDir root;
    const QString updaterDir = root.path() + QStringLiteral("/app/bin/updater");
    ASSERT_TRUE(QDir().mkpath(updaterDir));
    EXPECT_EQ(OVArchiverArguments::installationFolderFor(updaterDir),
              root.path() + QStringLiteral("/app"));

    const QStringList fixed = {"x", "/s/p.7z", "-o/inst", "-sdel", "-aoa", "-bsp1", "-bse1"};
    EXPECT_TRUE(OVArchiverArguments::presentRuntimeNames(updaterDir).isEmpty());
    EXPECT_EQ(OVArchiverArguments::extractArguments("/s/p.7z", "/inst", {}), fixed);

    for (const char* name : {"vcruntime140.dll", "api-ms-win-crt-heap-l1-1-0.dll", "other.dll"}) {
        QFile file(updaterDir + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QStringList present = OVArchiverArguments::presentRuntimeNames(updaterDir);
    EXPECT_EQ(present, QStringList({"api-ms-win-crt-heap-l1-1-0.dll", "vcruntime140.dll"}));
    EXPECT_EQ(OVArchiverArguments::extractArguments("/s/p.7z", "/inst", present),
              fixed + QStringList({"-xr!api-ms-win-crt-heap-l1-1-0.dll", "-xr!vcruntime140.dll"}));
    EXPECT_EQ(OVArchiverArguments::runtimeNames().size(), 21);
}
