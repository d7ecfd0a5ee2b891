// The program file of the test runtime package.
int main() { return 0; }
