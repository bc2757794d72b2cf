#pragma once

// A Gerber aperture macro (%AM...%) as a drill file uses one: KiCad flashes its oval holes with
// a macro that draws one line with a round end at each end. What an instance of a macro is as a
// drill tool: a round hole, a slot, or a shape no drill makes.

#include <QByteArray>
#include <QByteArrayView>
#include <vector>

namespace kivotrek {

class ApertureMacro {
public:
    // One word of the definition after its name: a comment ("0 text"), a variable
    // ("$4=$1x2"), or a primitive ("20,1,$1,$2,$3,$4,$5,0"). False for one that cannot be read.
    bool add(QByteArrayView word);

    // An instance with its parameters ($1, $2, ... in the file's unit), in the file's unit.
    struct Shape {
        enum class Kind {
            Other, // several shapes, an outline, a polygon, a thermal: no drill
            Round, // a circle: a round hole of the width
            Slot, // one line with a round end of its width at each end
        };
        Kind kind = Kind::Other;
        double width = 0;
        double x1 = 0, y1 = 0, x2 = 0, y2 = 0; // the slot's ends, from the flash point
    };
    Shape instance(const std::vector<double>& parameters) const;

    // A primitive of an instance: its code (1 circle, 4 outline, 5 polygon, 6 moire, 7 thermal,
    // 20 / 2 vector line, 21 centre line, 22 lower-left line) and its modifiers after the code,
    // evaluated (the exposure first, where the primitive has one), in the file's unit.
    struct Primitive {
        int code = 0;
        std::vector<double> modifiers;
    };
    // The primitives of an instance with its parameters; false when an expression cannot be read.
    bool primitives(const std::vector<double>& parameters, std::vector<Primitive>& out) const;

private:
    struct Statement {
        bool assignment = false;
        int variable = 0; // for an assignment: $n
        std::vector<QByteArray> fields; // the expression, or the primitive's code and modifiers
    };
    std::vector<Statement> statements_;
};

// The value of a macro expression: numbers, $n variables (0 when not set), + - x / and
// parentheses, as the Gerber format writes them; nothing when it cannot be read.
bool evaluateMacroExpression(QByteArrayView text, const std::vector<double>& variables, double& value);

} // namespace kivotrek
