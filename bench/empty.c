/* The floor of start-up: a statically linked program that does nothing. */
int main(void) {
    return 0;
}
