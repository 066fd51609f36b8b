// vorelan_paramdoc: prints docs/parameters.md, the reference of every parameter, from the parameter
// table (make docs writes it; a test checks that the committed file matches).
#include "tools/vorelan/ParameterText.h"

#include <iostream>

int main() {
    std::cout << vorelan::ParameterReference();
    return 0;
}
