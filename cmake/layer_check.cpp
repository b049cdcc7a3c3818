// Linked with one layer's library whole and only the layers it declares below it: the link
// fails when that layer calls into a layer above.
int main() { return 0; }
