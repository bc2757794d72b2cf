#pragma once

// A small picture of the board a package's members make with the roles they have now: the
// outline's file, the copper of both sides translucent, and the holes of every drill file
// coloured by their role (plated, non-plated, drill), so that a wrong role is seen at a glance
// (a drawing taken for the outline, a copper layer taken for a drill file). What each member
// holds is read once, when a picture first needs it.

#include "package/package.h"

#include <QImage>
#include <QSize>
#include <map>
#include <memory>
#include <vector>

namespace kivotrek {

class PackagePicture {
public:
    PackagePicture();
    ~PackagePicture();

    // The picture of the package's members with the roles given (roles[i] is members[i]'s).
    QImage draw(const Package& package, const std::vector<PackageMember::Role>& roles, const QSize& size);

    // The colours of the holes of a drill file of the role.
    static QColor holeColour(PackageMember::Role role);

private:
    const GerberImage* imageOf(const PackageMember& m, size_t index);
    const DrillData* drillOf(const PackageMember& m, size_t index);

    std::map<size_t, std::shared_ptr<const GerberImage>> images_;
    std::map<size_t, std::shared_ptr<const DrillData>> drills_;
};

} // namespace kivotrek
