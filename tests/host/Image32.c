/* A 32-bit program for the start test: the system either refuses it or it
   runs and ends with status 3. */
int main(void) { return 3; }
