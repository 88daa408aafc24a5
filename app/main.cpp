// The program: the process entry does all the work and never returns.
#include "entry.h"

int main() {
    RuntimeEntry();
}
