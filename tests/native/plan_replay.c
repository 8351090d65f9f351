/* Replays fuzz inputs (files, or every file of a folder) through the plan
 * harness without the fuzzing engine: each crash input kept in the corpus
 * stays a regression test. Exits nonzero when no input was found. */
#include <dirent.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>

int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

static int Replay(const char *path)
{
    FILE *f = fopen(path, "rb");
    if (f == NULL) {
        fprintf(stderr, "cannot open %s\n", path);
        exit(2);
    }
    size_t capacity = 1 << 16, size = 0;
    uint8_t *data = (uint8_t *)malloc(capacity);
    size_t got;
    while ((got = fread(data + size, 1, capacity - size, f)) > 0) {
        size += got;
        if (size == capacity)
            data = (uint8_t *)realloc(data, capacity *= 2);
    }
    fclose(f);
    fprintf(stderr, "replay %s (%zu bytes)\n", path, size);
    /* An exact copy, so reads past the input are caught. */
    uint8_t *exact = (uint8_t *)malloc(size > 0 ? size : 1);
    memcpy(exact, data, size);
    free(data);
    LLVMFuzzerTestOneInput(exact, size);
    free(exact);
    return 1;
}

int main(int argc, char **argv)
{
    int replayed = 0;
    for (int i = 1; i < argc; i++) {
        struct stat st;
        if (stat(argv[i], &st) != 0) {
            fprintf(stderr, "no such input %s\n", argv[i]);
            return 2;
        }
        if (!S_ISDIR(st.st_mode)) {
            replayed += Replay(argv[i]);
            continue;
        }
        DIR *dir = opendir(argv[i]);
        struct dirent *e;
        while (dir != NULL && (e = readdir(dir)) != NULL) {
            if (e->d_name[0] == '.')
                continue;
            char path[4096];
            snprintf(path, sizeof path, "%s/%s", argv[i], e->d_name);
            replayed += Replay(path);
        }
        if (dir != NULL)
            closedir(dir);
    }
    printf("%d inputs replayed, none broke an invariant\n", replayed);
    return replayed > 0 ? 0 : 1;
}
