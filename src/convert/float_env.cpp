#include "convert/float_env.h"

#if defined(VYR_X87_MATH)

namespace vyr::convert {
namespace {

// What FNSTENV stores in 32-bit mode; the control word comes first.
struct X87Environment {
    unsigned short control;
    unsigned short rest[13];
};

constexpr unsigned short kPrecisionField = 0x0300;
constexpr unsigned short kDoublePrecision = 0x0200;

unsigned short readControl()
{
    X87Environment env;
    __builtin_ia32_fnstenv(&env);
    __builtin_ia32_fldenv(&env); // FNSTENV masks every exception; put the masks back
    return env.control;
}

void writeControl(unsigned short control)
{
    X87Environment env;
    __builtin_ia32_fnstenv(&env);
    env.control = control;
    __builtin_ia32_fldenv(&env);
}

} // namespace

DoubleRounding::DoubleRounding() : callerControl_(readControl())
{
    writeControl(static_cast<unsigned short>((callerControl_ & ~kPrecisionField) | kDoublePrecision));
}

DoubleRounding::~DoubleRounding() { writeControl(callerControl_); }

double DoubleRounding::pow(double x, double y) const
{
    const unsigned short own = readControl();
    writeControl(callerControl_);
    const double result = std::pow(x, y);
    writeControl(own);
    return result;
}

} // namespace vyr::convert

#endif
