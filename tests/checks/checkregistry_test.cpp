// The table of the checks and their limits that the batch command and the check window are
// made from.

#include "checks/checkregistry.h"

#include "testutil.h"

#include <algorithm>
#include <set>
#include <string>

using namespace kivotrek;

TEST(CheckRegistry, OneCheckPerKindInItsOrderWithNamesAndCaptionsOfItsOwn)
{
    const std::vector<CheckDescriptor>& checks = checkDescriptors();
    ASSERT_EQ(checks.size(), size_t(kCheckKinds));
    std::set<std::string> keys;
    std::set<QString> captions;
    std::string names;
    for (size_t k = 0; k < checks.size(); ++k) {
        EXPECT_EQ(checks[k].kind, CheckKind(k)) << k; // checkDescriptor() looks them up by it
        EXPECT_TRUE(keys.insert(checks[k].key).second) << checks[k].key;
        EXPECT_TRUE(captions.insert(checks[k].caption()).second) << checks[k].key;
        EXPECT_FALSE(checks[k].caption().isEmpty()) << checks[k].key;
        names += std::string(checkName(CheckKind(k))) + ' ';
    }
    // The batch command's names, which scripts read in its JSON.
    EXPECT_EQ(names, "stacked overlap outline-cut spacing edge min-drill tool-size slot-ratio plating ");
    EXPECT_EQ(checkTitle(CheckKind::Stacked), QStringLiteral("同じ位置の穴"));
    EXPECT_EQ(checkDescriptor(CheckKind::SlotRatio).unit, CheckUnit::Ratio);
    EXPECT_EQ(checkDescriptor(CheckKind::Plating).unit, CheckUnit::None);
}

TEST(CheckRegistry, EachLimitHasAKeyOptionAndRememberedKeyOfItsOwnAndEveryLimitADescriptor)
{
    const std::vector<LimitDescriptor>& limits = limitDescriptors();
    std::set<std::string> keys, options, settingsKeys;
    std::vector<double CheckLimits::*> fields;
    std::set<QString> captions;
    for (const LimitDescriptor& d : limits) {
        EXPECT_TRUE(keys.insert(d.key).second) << d.key;
        EXPECT_TRUE(options.insert(d.option).second) << d.key;
        EXPECT_TRUE(settingsKeys.insert(d.settingsKey).second) << d.key;
        EXPECT_EQ(std::count(fields.begin(), fields.end(), d.field), 0) << d.key;
        fields.push_back(d.field);
        EXPECT_TRUE(captions.insert(d.caption()).second) << d.key;
        EXPECT_NE(d.unit, CheckUnit::None) << d.key;
        EXPECT_EQ(CheckLimits().*d.field, d.defaultValue) << d.key;
    }
    // No field of the limits without a descriptor: it would be neither an option nor a box.
    EXPECT_EQ(fields.size() * sizeof(double), sizeof(CheckLimits));

    // What users and their scripts hold on to: the options, the JSON's names, the keys the
    // window remembers the limits by, and the defaults.
    const auto row = [](const LimitDescriptor& d) {
        return std::string(d.key) + ' ' + d.option + ' ' + d.settingsKey + ' '
            + QString::number(d.defaultValue).toStdString();
    };
    ASSERT_EQ(limits.size(), 4u);
    EXPECT_EQ(row(limits[0]), "minSpacing --min-spacing checks/minSpacing 0.2");
    EXPECT_EQ(row(limits[1]), "minEdge --min-edge checks/minEdge 0.25");
    EXPECT_EQ(row(limits[2]), "minDrill --min-drill checks/minDrill 0.15");
    EXPECT_EQ(row(limits[3]), "slotRatio --slot-ratio checks/slotRatio 2");
    EXPECT_EQ(limits[3].unit, CheckUnit::Ratio);
}
