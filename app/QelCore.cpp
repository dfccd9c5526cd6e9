// The program's version, shared by the desktop program and qel.
namespace qel {
extern const char* const kProgramTitle;
const char* const kProgramTitle = "Vantor 4.10 Veva";
}  // namespace qel
