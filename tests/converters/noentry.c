/* A shared library that is no converter: it exports none of the entry points. */
int ostrivel_not_a_converter(void) { return 42; }
