#include "search/startup.h"
int main() {
    initEngine();
    return 0;
}
