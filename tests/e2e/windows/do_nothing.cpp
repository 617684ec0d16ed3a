// A console program that does nothing at all: the floor under rud.exe's own
// start-up time when the benchmark runs both under Wine.
int main() { return 0; }
