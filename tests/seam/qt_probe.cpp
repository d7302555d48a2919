// Built as a core library by the seam test, which expects it not to build: the core does not see
// Qt's headers.
#include <QString>

int QtProbe() { return QString().size(); }
