/* The floor of a listing: one sequential pass over a file in 256 KiB read()
 * calls, the least a walk of the whole container can cost. */
#include <fcntl.h>
#include <unistd.h>

static char buffer[256 * 1024];

int main(int argc, char** argv) {
    if (argc != 2) {
        return 2;
    }
    int fd = open(argv[1], O_RDONLY);
    if (fd < 0) {
        return 1;
    }
    while (read(fd, buffer, sizeof buffer) > 0) {
    }
    close(fd);
    return 0;
}
