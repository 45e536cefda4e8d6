extern "C" int satview_test_answer() {
    return 42;
}
