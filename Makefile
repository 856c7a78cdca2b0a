# make run: build (Release) and start the screensaver. make test: build with
# sanitizers and run every test. Both install missing Debian packages first.
JOBS ?= 2
RELEASE := build/release
TEST := build/test
BENCH := build/bench

.PHONY: deps build run test tsan bench assets tables golden pictures dialog-shots clean install uninstall deb

deps:
	@scripts/install-deps.sh

build: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBRISVANE_TESTS=OFF
	cmake --build $(RELEASE) -j$(JOBS)

run: build
	scripts/run.sh $(RELEASE)/shell/brisvane

test: deps
	cmake -S . -B $(TEST) -DCMAKE_BUILD_TYPE=Debug -DBRISVANE_SANITIZE=ON -DBRISVANE_TESTS=ON
	cmake --build $(TEST) -j$(JOBS)
	cd $(TEST) && ctest --output-on-failure -j$(JOBS)

# ThreadSanitizer over the threaded parts and a 120 s run of the saver.
tsan: deps
	JOBS=$(JOBS) scripts/tsan.sh

bench: deps
	cmake -S . -B $(BENCH) -DCMAKE_BUILD_TYPE=Release -DBRISVANE_TESTS=OFF -DBRISVANE_BENCH=ON
	cmake --build $(BENCH) -j$(JOBS)
	scripts/bench.sh $(BENCH)

# Installs the saver (with its link in /usr/libexec/xscreensaver, the hosts'
# fixed folder, its menu entries and manual), brisvane-bridge and its systemd
# user units under PREFIX, below DESTDIR when given; uninstall removes exactly
# those files.
PREFIX ?= /usr/local
install: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBRISVANE_TESTS=OFF -DCMAKE_INSTALL_PREFIX=$(PREFIX)
	cmake --build $(RELEASE) -j$(JOBS)
	DESTDIR="$(DESTDIR)" cmake --install $(RELEASE)

# A Debian package of what make install lays out, for /usr: build/release/brisvane_*.deb.
deb: build
	cd $(RELEASE) && cpack -G DEB

uninstall:
	@if [ -f $(RELEASE)/install_manifest.txt ]; then \
	  while IFS= read -r f || [ -n "$$f" ]; do rm -fv -- "$(DESTDIR)$$f"; done < $(RELEASE)/install_manifest.txt; \
	else echo "nothing installed from $(RELEASE)"; fi

# Regenerates every picture and the music in assets/ and the art pages in docs/.
ART := build/art
assets:
	cmake -S tools/art -B $(ART) -DCMAKE_BUILD_TYPE=Release
	cmake --build $(ART) -j$(JOBS)
	$(ART)/art_generate assets
	$(ART)/art_sheet assets docs

# Redraws the dialog's screenshots in docs/ under a private Xvfb.
dialog-shots: deps
	cmake -S . -B $(RELEASE) -DCMAKE_BUILD_TYPE=Release -DBRISVANE_TESTS=OFF
	cmake --build $(RELEASE) -j$(JOBS) --target brisvane-dialogshot
	scripts/dialog-screenshots.sh $(RELEASE) docs

# Regenerates config/data/ (the location tables) from the pinned npm packages
# of tools/locations; needs Node and the npm registry.
tables:
	cd tools/locations && npm ci --no-audit --no-fund && node generate.js

# Redraws the scene pictures the tests compare with (after a deliberate change of the art).
golden: build
	scripts/update-golden.sh $(RELEASE)/tools/render/brisvane-render

# Redraws the README's pictures of the running scene.
pictures: build
	scripts/docs-pictures.sh $(RELEASE)/tools/render/brisvane-render

clean:
	rm -rf build
